// SHA256Digest and SHA512Digest in file mode on Windows, through the
// emulator: CreateFileW (wide build) and CreateFileA (byte build) on real
// files.  The expected digests are the functions' own results on the same
// bytes passed as data, which the Linux tests check against OpenSSL, and the
// FIPS 180 answers for "abc".
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/support/loaded.h"

namespace {

using ghemu::CallOutcome;
using ghemu::Session;

std::wstring widen(const std::string &utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
    return w;
}

std::string narrow(const std::wstring &w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

// A fresh folder under the temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        for (unsigned i = GetTickCount(); path_.empty(); ++i) {
            std::wstring candidate = std::wstring(base) + L"gh_digest_" + std::to_wstring(i);
            if (CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~TempDir() {
        for (const std::wstring &f : files_) DeleteFileW(f.c_str());
        RemoveDirectoryW(path_.c_str());
    }
    // Creates the file with these bytes; returns its UTF-8 path.
    std::string write(const std::wstring &name, const std::string &bytes) {
        std::wstring path = path_ + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        EXPECT_EQ(written, bytes.size());
        CloseHandle(h);
        files_.push_back(path);
        return narrow(path);
    }
    std::string path() const { return narrow(path_); }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

class DigestFileOnWindows : public ghtest::EachBuild {
protected:
    std::string call(const char *function, std::vector<ghemu::Param> params) {
        Session session(library());
        CallOutcome out = session.call(function, std::move(params));
        EXPECT_TRUE(out.ok()) << out.problemText();
        EXPECT_TRUE(out.result.set);
        return ghemu::textToUtf8(out.result.value.text(), build());
    }
    std::string digestFile(const char *function, const std::string &path) {
        return call(function, {ghemu::textParam(build(), path), ghemu::numberParam(1)});
    }
    std::string digestData(const char *function, const std::string &bytes) {
        return call(function, {ghemu::binaryParam(std::vector<uint8_t>(bytes.begin(), bytes.end()))});
    }
};
GH_FOR_EACH_BUILD(DigestFileOnWindows);

TEST_P(DigestFileOnWindows, SmallEmptyAndMultiChunkFiles) {
    TempDir dir;
    std::string abc = dir.write(L"abc.txt", "abc");
    EXPECT_EQ(digestFile("SHA256Digest", abc),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digestFile("SHA512Digest", abc),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");

    std::string empty = dir.write(L"empty", "");
    EXPECT_EQ(digestFile("SHA256Digest", empty), digestData("SHA256Digest", ""));

    // Several read chunks and a partial one.
    std::string bytes(2 * (1 << 20) + 77, '\0');
    std::mt19937 rng(11);
    for (char &c : bytes) c = static_cast<char>(rng());
    std::string big = dir.write(L"big.bin", bytes);
    EXPECT_EQ(digestFile("SHA256Digest", big), digestData("SHA256Digest", bytes));
    EXPECT_EQ(digestFile("SHA512Digest", big), digestData("SHA512Digest", bytes));
}

TEST_P(DigestFileOnWindows, ForwardSlashesAndAFileOpenElsewhere) {
    TempDir dir;
    std::string path = dir.write(L"shared.txt", "abc");
    std::string forward = path;
    for (char &c : forward) c = c == '\\' ? '/' : c;
    EXPECT_EQ(digestFile("SHA256Digest", forward),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    // Another program reading the file does not stop the digest.
    HANDLE reader = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(digestFile("SHA256Digest", path),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    CloseHandle(reader);
}

// A log another program is still writing (and may delete) is digested as
// it stands: the open shares reading, writing and deleting.
TEST_P(DigestFileOnWindows, AFileHeldOpenForWritingIsDigestedAsItStands) {
    TempDir dir;
    std::string path = dir.write(L"log.txt", "");
    HANDLE writer = CreateFileW(widen(path).c_str(), GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer, "abc", 3, &written, nullptr));
    EXPECT_EQ(digestFile("SHA256Digest", path),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    ASSERT_TRUE(WriteFile(writer, "def", 3, &written, nullptr));
    EXPECT_EQ(digestFile("SHA512Digest", path), digestData("SHA512Digest", "abcdef"));
    CloseHandle(writer);
}

TEST_P(DigestFileOnWindows, WhatCannotBeReadGivesEmptyText) {
    TempDir dir;
    EXPECT_EQ(digestFile("SHA256Digest", dir.path() + "\\missing"), "");
    EXPECT_EQ(digestFile("SHA512Digest", dir.path()), "");  // a folder
    EXPECT_EQ(digestFile("SHA256Digest", "NUL"), "");       // a device, not a file
    // A file another program holds without sharing.
    std::string path = dir.write(L"locked.txt", "secret");
    HANDLE holder = CreateFileW(widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(digestFile("SHA256Digest", path), "");
    CloseHandle(holder);
}

// Paths past the classic limit of 260 characters: a path of 300 characters
// names its own file, not the one its first 255 characters name.
TEST_P(DigestFileOnWindows, LongPathsAreUsedWhole) {
    TempDir dir;
    // Folders of 99 characters, made through the extended-length form.
    std::wstring folder = widen(dir.path());
    std::vector<std::wstring> made;
    while (folder.size() + 100 + 60 < 255) {
        folder += L"\\" + std::wstring(99, L'd');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
        made.push_back(folder);
    }
    std::wstring p255 = folder + L"\\" + std::wstring(255 - folder.size() - 1, L'f');
    std::wstring p300 = p255 + std::wstring(45, L'f');
    for (const std::wstring *p : {&p255, &p300}) {
        std::string bytes = "named by " + std::to_string(p->size()) + " characters";
        HANDLE h = CreateFileW((L"\\\\?\\" + *p).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
    }
    EXPECT_EQ(digestFile("SHA256Digest", narrow(p300)), digestData("SHA256Digest", "named by 300 characters"));
    EXPECT_EQ(digestFile("SHA512Digest", narrow(p300)), digestData("SHA512Digest", "named by 300 characters"));
    EXPECT_EQ(digestFile("SHA256Digest", narrow(p255)), digestData("SHA256Digest", "named by 255 characters"));
    // Forward slashes work past the limit too: the path is made absolute first.
    std::string forward = narrow(p300);
    for (char &c : forward) c = c == '\\' ? '/' : c;
    EXPECT_EQ(digestFile("SHA256Digest", forward), digestData("SHA256Digest", "named by 300 characters"));
    DeleteFileW((L"\\\\?\\" + p255).c_str());
    DeleteFileW((L"\\\\?\\" + p300).c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW((L"\\\\?\\" + *it).c_str());
}

// The wide build hands the characters to CreateFileW as UTF-16, surrogate
// pairs included.
TEST_P(DigestFileOnWindows, NamesBeyondU00FFInTheWideBuild) {
    if (build() != ghemu::Build::Wide) GTEST_SKIP() << "the byte build names files in the ANSI code page";
    TempDir dir;
    std::string path = dir.write(L"caf\u00E9-\u6570\u636E-\U0001F600.txt", "named in Unicode");
    EXPECT_EQ(digestFile("SHA512Digest", path), digestData("SHA512Digest", "named in Unicode"));
}

}  // namespace
