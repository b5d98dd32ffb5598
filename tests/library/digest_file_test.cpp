// SHA256Digest and SHA512Digest in file mode, driven through the emulator
// on real files: missing, unreadable, empty, long paths, names beyond
// U+00FF, a file that spans several read chunks and a sparse file larger
// than 4 GiB.  Each test runs for both builds.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/loaded.h"
#include "tests/support/hex.h"

namespace {

using ghemu::CallOutcome;
using ghemu::Session;

using testhex::hex;

std::string reference(const EVP_MD *md, const std::string &bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_Digest(bytes.data(), bytes.size(), out, &len, md, nullptr);
    return hex(out, len);
}

// A fresh folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/gh_digest_XXXXXX";
        path_ = mkdtemp(name) ? name : "";
    }
    ~TempDir() {
        if (!path_.empty()) system(("chmod -R u+rwx '" + path_ + "' && rm -rf '" + path_ + "'").c_str());
    }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

void writeFile(const std::string &path, const std::string &bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
}

class DigestFileMode : public ghtest::EachBuild {
protected:
    // The function's text result for this path in file mode.
    std::string digestFile(const char *function, const std::string &path) {
        Session session(library());
        CallOutcome out = session.call(
            function, {ghemu::textParam(build(), path), ghemu::numberParam(1)});
        EXPECT_TRUE(out.ok()) << out.problemText();
        EXPECT_TRUE(out.result.set);
        EXPECT_EQ(out.result.type, HOST_TYPE_TEXT);
        return ghemu::textToUtf8(out.result.value.text(), build());
    }
};
GH_FOR_EACH_BUILD(DigestFileMode);

TEST_P(DigestFileMode, ContentsOfSmallEmptyAndMultiChunkFiles) {
    TempDir dir;
    std::string small = dir.path() + "/abc.txt", empty = dir.path() + "/empty", big = dir.path() + "/big";
    writeFile(small, "abc");
    writeFile(empty, "");
    std::string bytes(3 * (1 << 20) + 77, '\0');  // several read chunks and a partial one
    std::mt19937 rng(7);
    for (char &c : bytes) c = static_cast<char>(rng());
    writeFile(big, bytes);
    EXPECT_EQ(digestFile("SHA256Digest", small), reference(EVP_sha256(), "abc"));
    EXPECT_EQ(digestFile("SHA512Digest", small), reference(EVP_sha512(), "abc"));
    EXPECT_EQ(digestFile("SHA256Digest", empty), reference(EVP_sha256(), ""));
    EXPECT_EQ(digestFile("SHA512Digest", empty), reference(EVP_sha512(), ""));
    EXPECT_EQ(digestFile("SHA256Digest", big), reference(EVP_sha256(), bytes));
    EXPECT_EQ(digestFile("SHA512Digest", big), reference(EVP_sha512(), bytes));
}

TEST_P(DigestFileMode, WhatCannotBeReadGivesEmptyText) {
    TempDir dir;
    EXPECT_EQ(digestFile("SHA256Digest", dir.path() + "/missing"), "");
    EXPECT_EQ(digestFile("SHA512Digest", dir.path()), "");  // a folder
    EXPECT_EQ(digestFile("SHA256Digest", ""), "");
}

TEST_P(DigestFileMode, AFileWithoutReadPermissionGivesEmptyText) {
    TempDir dir;
    std::string locked = dir.path() + "/locked";
    writeFile(locked, "secret");
    chmod(locked.c_str(), 0);
    if (geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
    EXPECT_EQ(digestFile("SHA256Digest", locked), "");
}

// A folder below base whose path leaves room for a last name of at least
// 60 characters in a path of 255 (no name may exceed 255 bytes).
std::string deepFolder(const std::string &base) {
    std::string folder = base;
    while (folder.size() + 100 + 60 < 255) {
        folder += "/" + std::string(99, 'd');
        mkdir(folder.c_str(), 0755);
    }
    return folder;
}

// The whole path names the file: a path of 300 characters is not taken for
// the file its first 255 characters name, and a path the system refuses
// gives the empty text.
TEST_P(DigestFileMode, LongPathsAreUsedWhole) {
    TempDir dir;
    std::string folder = deepFolder(dir.path());
    std::string p255 = folder + "/" + std::string(255 - folder.size() - 1, 'f');
    std::string p300 = p255 + std::string(45, 'f');
    ASSERT_EQ(p300.size(), 300u);
    writeFile(p255, "named by 255 characters");
    writeFile(p300, "named by 300 characters");
    EXPECT_EQ(digestFile("SHA256Digest", p255), reference(EVP_sha256(), "named by 255 characters"));
    EXPECT_EQ(digestFile("SHA256Digest", p300), reference(EVP_sha256(), "named by 300 characters"));
    EXPECT_EQ(digestFile("SHA512Digest", p300), reference(EVP_sha512(), "named by 300 characters"));
    // The same file by a path of 5000 characters: past PATH_MAX (4096
    // bytes) the system refuses it.
    std::string tooLong = folder;
    while (tooLong.size() < 5000) tooLong += "/.";
    EXPECT_EQ(digestFile("SHA256Digest", tooLong + p255.substr(folder.size())), "");
}

TEST_P(DigestFileMode, NamesWithCharactersBeyondU00FF) {
    TempDir dir;
    // U+00E9, U+6570 U+636E and U+1F600: the wide build passes the
    // characters (as UTF-8 to the system), the byte build the UTF-8 bytes.
    std::string path = dir.path() + "/caf\xC3\xA9-\xE6\x95\xB0\xE6\x8D\xAE-\xF0\x9F\x98\x80.txt";
    writeFile(path, "named in Unicode");
    EXPECT_EQ(digestFile("SHA512Digest", path), reference(EVP_sha512(), "named in Unicode"));
}

// A relative path of one character, U+4E00, whose low 8 bits are zero, is a
// path, not an empty one.
TEST_P(DigestFileMode, ARelativePathStartingWithU4E00) {
    TempDir dir;
    writeFile(dir.path() + "/\xE4\xB8\x80", "one");
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    std::string got = digestFile("SHA256Digest", "\xE4\xB8\x80");
    ASSERT_EQ(chdir(here), 0);
    EXPECT_EQ(got, reference(EVP_sha256(), "one"));
}

// A sparse file of 4 GiB + 4 KiB + 1 with data at the start, across the
// 4 GiB mark and at the end: the 32-bit size query of old would have seen
// 4097 bytes.  The expected digest streams the same contents through
// OpenSSL without reading the file.  Both builds share the reader, and a
// run takes many seconds, so it runs for the wide build only.
TEST_P(DigestFileMode, SparseFileBeyond4GiB) {
    if (build() != ghemu::Build::Wide) GTEST_SKIP() << "the reader is the same in both builds";
    TempDir dir;
    std::string path = dir.path() + "/sparse";
    const uint64_t size = (uint64_t(1) << 32) + 4096 + 1;
    struct Patch {
        uint64_t at;
        std::string bytes;
    };
    const Patch patches[] = {{0, "start"},
                             {(uint64_t(1) << 32) - 3, "across 4 GiB"},
                             {size - 4, "end!"}};
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    for (const Patch &p : patches)
        ASSERT_EQ(pwrite(fd, p.bytes.data(), p.bytes.size(), static_cast<off_t>(p.at)),
                  static_cast<ssize_t>(p.bytes.size()));
    close(fd);

    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
    std::vector<unsigned char> zeros(1 << 20, 0);
    uint64_t at = 0;
    for (const Patch &p : patches) {
        while (at < p.at) {
            uint64_t n = std::min<uint64_t>(p.at - at, zeros.size());
            EVP_DigestUpdate(ctx, zeros.data(), n);
            at += n;
        }
        EVP_DigestUpdate(ctx, p.bytes.data(), p.bytes.size());
        at += p.bytes.size();
    }
    ASSERT_EQ(at, size);
    unsigned char out[32];
    unsigned len = 0;
    EVP_DigestFinal_ex(ctx, out, &len);
    EVP_MD_CTX_free(ctx);

    EXPECT_EQ(digestFile("SHA256Digest", path), hex(out, len));
}

// Every allocation the file-mode call makes may fail: the call then gives
// the empty text (or, where the failure does not matter, the digest) and
// frees everything.
TEST_P(DigestFileMode, AllocationFailuresLeaveNothingBehind) {
    TempDir dir;
    std::string path = dir.path() + "/data";
    writeFile(path, std::string(100000, 'q'));
    std::string want = reference(EVP_sha256(), std::string(100000, 'q'));
    Session session(library());
    std::vector<ghemu::Param> params = {ghemu::textParam(build(), path), ghemu::numberParam(1)};
    unsigned long events = session.call("SHA256Digest", params).allocationEvents;
    ASSERT_GT(events, 0u);  // at least the read buffer
    for (unsigned long n = 1; n <= events; ++n) {
        CallOutcome out = session.call("SHA256Digest", params, 0, n);
        EXPECT_TRUE(out.ok()) << "failing allocation " << n << ": " << out.problemText();
        std::string text = ghemu::textToUtf8(out.result.value.text(), build());
        EXPECT_TRUE(text.empty() || text == want) << "failing allocation " << n;
    }
}

}  // namespace
