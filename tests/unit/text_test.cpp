// The text algorithms against the plain references of
// tests/support/text_reference.h, over random texts that make delimiters,
// quotes, spaces, digits, points, minus signs, CR and LF frequent, in both
// character widths (texts that end where readable memory does, so that a
// read past one faults).  The rounds take the scans' paths in turn (every
// path this processor runs, forced through scan_force_path), so each
// algorithm is checked on every kernel set.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/guarded.h"
#include "tests/support/text_reference.h"
#include "text/lines.h"
#include "text/numbers.h"
#include "text/parts.h"
#include "text/scan.h"
#include "text/scan_kernels.h"
#include "text/small_text.h"
#include "text/token_search.h"

namespace {

using textref::Text;

// The scans' tiers this processor runs, the portable one first.
std::vector<int> scanPaths() {
    std::vector<int> paths;
    for (int tier = TEXT_SCAN_TIERS - 1; tier >= 0; --tier) {
        if (scan_tier_runs(tier)) paths.push_back(tier);
    }
    return paths;
}

// Round r runs on path r modulo the paths; the chosen kernels again after.
class PathOfRound {
public:
    explicit PathOfRound(int round) {
        static const std::vector<int> paths = scanPaths();
        scan_force_path(paths[static_cast<size_t>(round) % paths.size()]);
    }
    ~PathOfRound() { scan_force_path(-1); }
    PathOfRound(const PathOfRound &) = delete;
    PathOfRound &operator=(const PathOfRound &) = delete;
};

template <class C>
class TextAlgorithms : public ::testing::Test {
protected:
    std::mt19937 rng{20240611};

    uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng() % n); }

    Text<C> randomText(size_t maxLength) {
        Text<C> t(below(static_cast<uint32_t>(maxLength) + 1));
        for (C &c : t) c = textref::characterFrom<C>(static_cast<uint32_t>(rng()));
        return t;
    }
    // Mostly characters of the text, so that searches find something.
    Text<C> pieceOf(const Text<C> &s, size_t maxLength) {
        size_t m = 1 + below(static_cast<uint32_t>(maxLength));
        if (s.size() < m || below(4) == 0) {
            Text<C> t = randomText(maxLength);
            if (t.empty()) t.push_back(',');
            return t;
        }
        size_t at = below(static_cast<uint32_t>(s.size() - m + 1));
        return Text<C>(s.begin() + static_cast<long>(at), s.begin() + static_cast<long>(at + m));
    }
};
using CharTypes = ::testing::Types<uint8_t, uint32_t>;
TYPED_TEST_SUITE(TextAlgorithms, CharTypes);

TYPED_TEST(TextAlgorithms, TokenSearchFindsWhatADirectSearchFinds) {
    using C = TypeParam;
    // Two or three letters make periodic tokens and near misses common;
    // extreme codes check that characters compare as unsigned.
    const C letters[] = {C('a'), C('b'), C(sizeof(C) == 1 ? 0xFF : 0xFFFFFFFFu)};
    for (int round = 0; round < 3000; ++round) {
        PathOfRound path(round);
        uint32_t alphabet = 2 + this->below(2);
        Text<C> s(this->below(120)), token(1 + this->below(round < 1500 ? 6 : 24));
        for (C &c : s) c = letters[this->below(alphabet)];
        for (C &c : token) c = letters[this->below(alphabet)];
        TokenSearch<C> t = token_search_prepare(token.data(), token.size());
        for (size_t from = 0; from <= s.size() + 1; ++from) {
            size_t expected = s.size();
            for (size_t i = from; i + token.size() <= s.size(); ++i) {
                if (textref::matchesAt(s, i, token)) {
                    expected = i;
                    break;
                }
            }
            ASSERT_EQ(token_find(t, s.data(), s.size(), from), expected) << "round " << round << " from " << from;
        }
        ASSERT_EQ(token_count(t, s.data(), s.size()), textref::howMany(token, s)) << "round " << round;
    }
}

TYPED_TEST(TextAlgorithms, ScansMatchDirectLoops) {
    using C = TypeParam;
    for (int round = 0; round < 2000; ++round) {
        PathOfRound path(round);
        Text<C> s = this->randomText(80);
        size_t n = s.size();
        C c = textref::characterFrom<C>(static_cast<uint32_t>(this->rng()));
        size_t first = n, last = n, lastLow = n, either = n, count = 0;
        for (size_t i = 0; i < n; ++i) {
            if (s[i] == c && first == n) first = i;
            if (s[i] == c) last = i, ++count;
            if (s[i] <= 32) lastLow = i;
            if ((s[i] == 13 || s[i] == 10) && either == n) either = i;
        }
        ASSERT_EQ(scan_find_char(s.data(), n, c), first);
        ASSERT_EQ(scan_find_last_char(s.data(), n, c), last);
        ASSERT_EQ(scan_find_last_at_most(s.data(), n, C(32)), lastLow);
        ASSERT_EQ(scan_find_either(s.data(), n, C(13), C(10)), either);
        ASSERT_EQ(scan_count_char(s.data(), n, c), count);
        // The first pair of characters gap apart (the scan reads gap characters past its length).
        size_t gap = 1 + this->below(3), pair = 0;
        if (n > gap) {
            size_t at = this->below(static_cast<uint32_t>(n - gap));
            C a = s[at], b = s[at + gap];
            while (s[pair] != a || s[pair + gap] != b) ++pair;
            ASSERT_EQ(scan_find_pair(s.data(), n - gap, a, b, gap), pair);
            ASSERT_EQ(scan_find_pair(s.data(), pair, a, b, gap), pair);
        }
        Text<C> kept = s;
        kept.resize(scan_copy_without(kept.data(), kept.data(), n, c));
        Text<C> expected;
        for (C x : s) {
            if (x != c) expected.push_back(x);
        }
        ASSERT_EQ(kept, expected);
    }
}

TYPED_TEST(TextAlgorithms, PartsAreCutAsTheRulesSay) {
    using C = TypeParam;
    for (int round = 0; round < 6000; ++round) {
        PathOfRound path(round);
        Text<C> s = this->randomText(40);
        Text<C> token = this->pieceOf(s, round % 3 ? 1 : PART_DELIMITER_MAX);
        if (token.size() > PART_DELIMITER_MAX) token.resize(PART_DELIMITER_MAX);
        bool aware = this->below(3) != 0;
        PartDelimiter<C> d;
        part_delimiter_init(&d, token.data(), token.size(), aware);
        Guarded<C> held(s);
        for (size_t number = 1; number <= 8; ++number) {
            PartFound part = nth_part(d, held.p, s.size(), number);
            Text<C> got = part.found ? textref::slice(s, part.start, part.start + part.length) : Text<C>();
            // splitstring searches without the closing quote at the end;
            // indexedPart with it: the parts are the same.
            ASSERT_EQ(got, textref::nthPart(s, number, token, aware, false)) << "round " << round << " part " << number;
            ASSERT_EQ(got, textref::nthPart(s, number, token, aware, true)) << "round " << round << " part " << number;
        }
        if (!s.empty()) {
            PartCut cut = part_cut(d, s.data(), s.size(), 0);
            textref::SplitOff<C> expected = textref::splitOff(s, token, aware);
            ASSERT_EQ(textref::slice(s, cut.valueStart, cut.valueStart + cut.valueLength), expected.piece) << round;
            Text<C> rest = cut.ended && cut.next <= s.size() ? textref::slice(s, cut.next, s.size()) : Text<C>();
            ASSERT_EQ(rest, expected.field) << round;
        }
        Text<C> wanted = this->below(2) ? textref::nthPart(s, 1 + this->below(5), token, aware, true) : this->pieceOf(s, 4);
        if (!wanted.empty()) {
            ASSERT_EQ(index_of_part(d, held.p, s.size(), wanted.data(), wanted.size()),
                      textref::indexOfPart(s, wanted, token, aware))
                << "round " << round;
        }
    }
}

TYPED_TEST(TextAlgorithms, SmallTextFunctionsFollowTheRules) {
    using C = TypeParam;
    for (int round = 0; round < 6000; ++round) {
        PathOfRound path(round);
        Text<C> s = this->randomText(30);
        Text<C> pattern = this->pieceOf(s, 3);
        ASSERT_EQ(count_occurrences(pattern.data(), pattern.size(), s.data(), s.size()), textref::howMany(pattern, s));

        Text<C> t = s;
        t.resize(strip_zero_chars(t.data(), t.size()));
        ASSERT_EQ(t, textref::stripZeros(s));
        size_t start = filename_start(s.data(), s.size());
        ASSERT_EQ(textref::slice(s, start, s.size()), textref::filenameOfPath(s));
        ASSERT_EQ(textref::slice(s, 0, folder_length(s.data(), s.size())), textref::folderPartOfPath(s));

        Text<C> keep = this->randomText(round % 50 ? 4 : 70);
        ReduceOptions o = {this->below(2) == 1, this->below(2) == 1, this->below(2) == 1};
        t = s;
        t.resize(reduce_to_alphanumeric(t.data(), t.size(), keep.data(), keep.size(), o));
        ASSERT_EQ(t, textref::reduceToAlphanumeric(s, keep, o.keepLeadingSpaces, o.keepMiddleSpaces, o.keepTrailingSpaces))
            << "round " << round;
    }
}

TYPED_TEST(TextAlgorithms, NumbersAreTakenAsTheRulesSay) {
    using C = TypeParam;
    for (int round = 0; round < 6000; ++round) {
        PathOfRound path(round);
        Text<C> s = this->randomText(12);
        if (round % 100 == 0) s.insert(s.begin() + static_cast<long>(this->below(static_cast<uint32_t>(s.size()) + 1)), 250, C('4'));
        bool decimal = this->below(2), positiveOnly = this->below(2);
        TextSpan lead = leading_number(s.data(), s.size(), decimal, positiveOnly);
        TextSpan trail = trailing_number(s.data(), s.size(), decimal, positiveOnly);
        ASSERT_EQ(textref::slice(s, lead.start, lead.start + lead.length), textref::leadingNumber(s, decimal, positiveOnly));
        ASSERT_EQ(textref::slice(s, trail.start, trail.start + trail.length), textref::trailingNumber(s, decimal, positiveOnly));
    }
}

// A sink that grows by exactly what is asked, so that growth happens often.
template <class C>
struct GrowingSink {
    std::vector<C> storage;
    TextSink<C> sink{nullptr, 0, 0, &grow, this};

    static bool grow(TextSink<C> *s, size_t more, void *context) {
        auto *self = static_cast<GrowingSink *>(context);
        self->storage.resize(s->used + more);
        s->data = self->storage.data();
        s->room = self->storage.size();
        return true;
    }
    Text<C> text() const { return Text<C>(storage.begin(), storage.begin() + static_cast<long>(sink.used)); }
};

TYPED_TEST(TextAlgorithms, LinesAreBrokenAsTheRulesSay) {
    using C = TypeParam;
    const C breaks[][3] = {{13, 10, 0}, {10, 0, 0}, {13, 0, 0}, {10, 13, 0}, {'|', 0, 0}, {13, 10, 10}};
    const size_t breakLengths[] = {2, 1, 1, 2, 1, 3};
    // CR LF breaks, the text ending in CR where its buffer goes on with LF.
    const C crThenLf[] = {C('x'), C(13), C(10), C('y'), C(13), C(10)};
    ASSERT_EQ(set_linebreaks_length(crThenLf, 5, 2), 6u);
    for (int round = 0; round < 6000; ++round) {
        PathOfRound path(round);
        Text<C> s = this->randomText(round % 10 ? 40 : 400);
        Guarded<C> held(s);
        const C *text = held.p;
        uint32_t b = this->below(6);
        Text<C> lineBreak(breaks[b], breaks[b] + breakLengths[b]);
        Text<C> lineStart = this->randomText(3);
        size_t lineSize = 10 + this->below(20);

        GrowingSink<C> wrapped;
        ASSERT_TRUE(wrap_lines(text, s.size(), lineStart.data(), lineStart.size(), lineBreak.data(),
                               lineBreak.size() < 2 ? lineBreak.size() : 2, lineSize, &wrapped.sink));
        ASSERT_EQ(wrapped.text(), textref::wrapLines(s, lineStart, lineBreak, lineSize)) << "round " << round;

        Text<C> expected = textref::setLinebreaks(s, lineBreak);
        if (linebreaks_match(text, s.size(), lineBreak.data(), lineBreak.size())) {
            ASSERT_EQ(expected, s);
            continue;
        }
        size_t written = lineBreak.size() < 2 ? lineBreak.size() : 2;
        size_t length = set_linebreaks_length(text, s.size(), written);
        ASSERT_EQ(length, expected.size()) << "round " << round;
        // Exactly the room it asked for, and no growth.
        std::vector<C> room(length + 1, C(0x5A));
        TextSink<C> exact = {room.data(), 0, length, nullptr, nullptr};
        ASSERT_TRUE(set_linebreaks(text, s.size(), lineBreak.data(), written, &exact));
        ASSERT_EQ(Text<C>(room.begin(), room.begin() + static_cast<long>(length)), expected);
        ASSERT_EQ(room[length], C(0x5A));
        if (written == 1) {
            Text<C> in = s;
            in.push_back(C(0x5A));  // the one character of room it may need
            in.resize(set_linebreaks_in_place(in.data(), s.size(), lineBreak[0]));
            ASSERT_EQ(in, expected) << "in place, round " << round;
        }
    }
}

// Prose, where wrapping takes its marked stretches and whole-piece copies:
// words, now and then one longer than a line, runs of spaces, tabs (some
// after a space), line breaks of every form mixed, lengths about multiples
// of 64 and past a stretch; line sizes 1 to 200 and some past half a
// stretch, on short and long texts; sinks with room to spare (and a mark
// after it) and sinks that grow by what is asked.
template <class C>
Text<C> proseText(std::mt19937 &rng, size_t n) {
    Text<C> t;
    while (t.size() < n) {
        uint32_t r = rng() % 64;
        size_t word = r == 0 ? 60 + rng() % 300 : 1 + rng() % 12;
        for (size_t i = 0; i < word; ++i) t.push_back(C('a' + rng() % 26));
        if (r == 1) t.push_back(C(9));
        if (r == 2) t.push_back(C(13));
        if (r == 3) t.push_back(C(10));
        if (r == 4) t.insert(t.end(), {C(13), C(10)});
        if (r == 5) t.insert(t.end(), 1 + rng() % 6, C(' '));
        if (r == 6) t.push_back(C(sizeof(C) == 1 ? 0xE9 : 0x20AC));
        if (r == 7) t.insert(t.end(), {C(' '), C(9)});
        t.push_back(C(' '));
    }
    t.resize(n);
    return t;
}

TYPED_TEST(TextAlgorithms, ProseIsWrappedAndItsBreaksSetAsTheRulesSay) {
    using C = TypeParam;
    const C breaks[][2] = {{13, 10}, {10, 0}, {13, 0}, {10, 13}, {'|', 0}};
    const size_t breakLengths[] = {2, 1, 1, 2, 1};
    for (int round = 0; round < 600; ++round) {
        PathOfRound path(round);
        size_t n = round % 10 == 9   ? 4000 + this->below(12000)
                   : round % 10 == 8 ? this->below(10)
                                     : 64 * (1 + this->below(8)) + this->below(5) - 2;
        Text<C> s = proseText<C>(this->rng, n);
        if (round % 20 == 19) {
            for (C &c : s) c = c == 13 || c == 10 ? C(' ') : c;  // long lines wrapped, not cut short by breaks
        }
        Guarded<C> held(s);
        const C *text = held.p;
        uint32_t b = this->below(5);
        Text<C> lineBreak(breaks[b], breaks[b] + breakLengths[b]);
        Text<C> lineStart(this->below(4), C('>'));
        size_t lineSize =
            round % 20 == 7 || round % 20 == 19 ? 2100 + this->below(3000) : lineStart.size() + 1 + this->below(200);
        bool spare = round % 2;
        SCOPED_TRACE("round " + std::to_string(round) + " n=" + std::to_string(n) + " size " + std::to_string(lineSize));

        Text<C> expected = textref::wrapLines(s, lineStart, lineBreak, lineSize);
        GrowingSink<C> grown;
        std::vector<C> room(spare ? expected.size() + 300 : 0, C(0x5A));
        if (spare) grown.sink = {room.data(), 0, room.size() - 1, nullptr, nullptr};
        ASSERT_TRUE(wrap_lines(text, n, lineStart.data(), lineStart.size(), lineBreak.data(), lineBreak.size(),
                               lineSize, &grown.sink));
        if (spare) {
            ASSERT_EQ(Text<C>(room.begin(), room.begin() + static_cast<long>(grown.sink.used)), expected);
            ASSERT_EQ(room.back(), C(0x5A));
        } else {
            ASSERT_EQ(grown.text(), expected);
        }
        // A sink that cannot hold the lines nor grow, ending where readable
        // memory ends: the wrapping fails without writing past its room.
        if (!expected.empty()) {
            Guarded<C> half(Text<C>(expected.size() / 2));
            TextSink<C> tight = {half.p, 0, expected.size() / 2, nullptr, nullptr};
            ASSERT_FALSE(wrap_lines(text, n, lineStart.data(), lineStart.size(), lineBreak.data(), lineBreak.size(),
                                    lineSize, &tight));
        }

        if (linebreaks_match(text, n, lineBreak.data(), lineBreak.size())) continue;
        expected = textref::setLinebreaks(s, lineBreak);
        GrowingSink<C> set;
        std::vector<C> setRoom(spare ? expected.size() + 400 : 0, C(0x5A));
        if (spare) set.sink = {setRoom.data(), 0, setRoom.size() - 1, nullptr, nullptr};
        ASSERT_TRUE(set_linebreaks(text, n, lineBreak.data(), lineBreak.size(), &set.sink));
        if (spare) {
            ASSERT_EQ(Text<C>(setRoom.begin(), setRoom.begin() + static_cast<long>(set.sink.used)), expected);
            ASSERT_EQ(setRoom.back(), C(0x5A));
        } else {
            ASSERT_EQ(set.text(), expected);
        }
    }
}

}  // namespace
