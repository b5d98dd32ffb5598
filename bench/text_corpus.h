// The large text the text benchmarks work on: an export of a table as
// comma-separated values.  Lines of 6 to 14 fields of words (a vocabulary of
// 64, "customer" among them), every eighth field quoted and holding a space
// and now and then a comma, a number now and then; CR LF line ends; every
// eighth line followed by an empty one (records of about 580 characters,
// separated by CR LF CR LF, fewer than 32768 of them); a few accented letters (code 0xE9).  The last
// field, "lastfieldmarker", occurs nowhere else, and no line break follows
// it.  The text has no backslash and no zero character; textWithZeros()
// has a zero character every 997 characters.
//
// The byte build's text is 16 MiB; the wide build's the same characters,
// 16 Mi of them (64 MiB).  proseText() is the same size in prose.
#ifndef GH_BENCH_TEXT_CORPUS_H
#define GH_BENCH_TEXT_CORPUS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace textbench {

constexpr size_t kTextChars = size_t(16) << 20;
constexpr const char *kLastField = "lastfieldmarker";
constexpr const char *kRecordBreak = "\r\n\r\n";

inline std::vector<uint8_t> csvText(size_t n = kTextChars) {
    static const char *const words[64] = {
        "alpha",   "bravo",     "charlie", "delta",    "echo",     "foxtrot", "golf",     "hotel",
        "india",   "juliet",    "kilo",    "lima",     "mike",     "november", "oscar",   "papa",
        "quebec",  "romeo",     "sierra",  "tango",    "uniform",  "victor",  "whiskey",  "xray",
        "yankee",  "zulu",      "customer", "order",   "invoice",  "paid",    "pending",  "shipped",
        "London",  "Paris",     "Berlin",  "Madrid",   "Rome",     "Vienna",  "Prague",   "Lisbon",
        "north",   "south",     "east",    "west",     "red",      "green",   "blue",     "yellow",
        "caf\xe9", "r\xe9sum\xe9", "apple", "banana",  "cherry",   "grape",   "lemon",    "mango",
        "Monday",  "Tuesday",   "Friday",  "Sunday",   "account",  "balance", "credit",   "debit"};
    std::string t;
    t.reserve(n + 64);
    uint32_t x = 20240611;
    auto next = [&x](uint32_t m) {
        x = x * 1664525u + 1013904223u;
        return (x >> 8) % m;
    };
    const size_t end = n - 1 - 15;  // room for ",lastfieldmarker"
    for (unsigned line = 0; t.size() < end; ++line) {
        unsigned fields = 6 + next(9);
        for (unsigned f = 0; f < fields; ++f) {
            if (f) t += ',';
            uint32_t kind = next(16);
            if (kind < 2) {
                t += '"';
                t += words[next(64)];
                t += kind == 0 ? ", " : " ";
                t += words[next(64)];
                t += '"';
            } else if (kind < 4) {
                t += std::to_string(next(100000));
                t += '.';
                t += std::to_string(10 + next(90));
            } else {
                t += words[next(64)];
            }
        }
        t += "\r\n";
        if (line % 8 == 7) t += "\r\n";
    }
    t.resize(end);
    // The last line ends with the marker field (no line break after it).
    t += ',';
    t += kLastField;
    t.resize(n, 'z');
    return std::vector<uint8_t>(t.begin(), t.end());
}

// Ordinary prose: paragraphs of 1 to 5 sentences of 4 to 20 words (common
// English words of 1 to 13 letters, a comma now and then), each paragraph
// one line (about 230 characters on average), CR LF line ends, every fourth
// paragraph followed by an empty line; n characters, the last line without
// a line break.  What wrapLinesWith is given to wrap.
inline std::vector<uint8_t> proseText(size_t n = kTextChars) {
    static const char *const words[64] = {
        "the",      "of",     "and",     "a",         "to",       "in",      "is",       "it",
        "that",     "was",    "for",     "on",        "are",      "with",    "they",     "be",
        "at",       "one",    "have",    "this",      "from",     "by",      "word",     "but",
        "what",     "some",   "we",      "can",       "out",      "other",   "were",     "all",
        "there",    "when",   "up",      "use",       "your",     "how",     "said",     "each",
        "which",    "their",  "time",    "will",      "about",    "many",    "then",     "them",
        "would",    "write",  "like",    "these",     "long",     "make",    "thing",    "see",
        "country",  "answer", "between", "important", "together", "children", "beginning", "understanding"};
    std::string t;
    t.reserve(n + 256);
    uint32_t x = 20241209;
    auto next = [&x](uint32_t m) {
        x = x * 1664525u + 1013904223u;
        return (x >> 8) % m;
    };
    for (unsigned paragraph = 0; t.size() < n; ++paragraph) {
        unsigned sentences = 1 + next(5);
        for (unsigned k = 0; k < sentences; ++k) {
            if (k) t += ' ';
            unsigned count = 4 + next(17);
            for (unsigned w = 0; w < count; ++w) {
                std::string word = words[next(64)];
                if (w == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
                if (w) t += next(10) == 0 ? ", " : " ";
                t += word;
            }
            t += '.';
        }
        t += "\r\n";
        if (paragraph % 4 == 3) t += "\r\n";
    }
    t.resize(n);
    if (t[n - 1] == '\r' || t[n - 1] == '\n') t[n - 1] = '.';
    if (t[n - 2] == '\r') t[n - 2] = '.';
    return std::vector<uint8_t>(t.begin(), t.end());
}

inline std::vector<uint32_t> widen(const std::vector<uint8_t> &b) { return std::vector<uint32_t>(b.begin(), b.end()); }

template <class C>
std::vector<C> textOf(const std::vector<uint8_t> &bytes) {
    return std::vector<C>(bytes.begin(), bytes.end());
}

template <class C>
std::vector<C> withZeros(std::vector<C> t) {
    for (size_t i = 996; i < t.size(); i += 997) t[i] = 0;
    return t;
}

template <class C>
std::vector<C> charsOf(const char *s) {
    std::vector<C> v;
    for (; *s; ++s) v.push_back(static_cast<C>(static_cast<uint8_t>(*s)));
    return v;
}

}  // namespace textbench

#endif
