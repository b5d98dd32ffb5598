// The text algorithms against the plain references of
// tests/support/text_reference.h.  Every text handed to the library is a
// heap buffer of exactly its length, so that a read past it is caught.
//
// Input: a selector byte (bits 0-1: parts, small text, numbers, lines; bit
// 2: 32-bit characters; bits 3-7: flags), a parameter byte, then the
// characters: each byte picks one from a small alphabet of delimiters,
// quotes, spaces, digits, points, minus signs, backslashes, CR, LF and
// zero (in 32-bit text also codes above 255).  Every input runs on each
// path of the scans in turn (scan_force_path).  Where a function takes a
// second text (a delimiter, a pattern, keepChars, a line start) its length
// comes from the parameter byte and its characters come first.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tests/support/text_reference.h"
#include "text/lines.h"
#include "text/numbers.h"
#include "text/parts.h"
#include "text/scan_kernels.h"
#include "text/small_text.h"

namespace {

using ghfuzz::FuzzInput;
using textref::Text;

template <class C>
Text<C> textFrom(FuzzInput &in, size_t length) {
    Text<C> t;
    for (size_t i = 0; i < length && !in.empty(); ++i) t.push_back(textref::characterFrom<C>(in.byte()));
    return t;
}

// A heap copy of exactly t's length.
template <class C>
std::unique_ptr<C[]> exact(const Text<C> &t) {
    std::unique_ptr<C[]> p(new C[t.size() ? t.size() : 1]);
    std::copy(t.begin(), t.end(), p.get());
    return p;
}

template <class C>
void checkParts(FuzzInput &in, uint8_t flags, uint8_t parameter) {
    Text<C> token = textFrom<C>(in, 1 + parameter % PART_DELIMITER_MAX);
    if (token.empty()) token.push_back(',');
    bool aware = flags & 1;
    Text<C> s = textFrom<C>(in, in.left());
    auto text = exact(s);
    auto delim = exact(token);
    PartDelimiter<C> d;
    part_delimiter_init(&d, delim.get(), token.size(), aware);
    for (size_t number = 1; number <= 6; ++number) {
        PartFound part = nth_part(d, text.get(), s.size(), number);
        Text<C> got = part.found ? textref::slice(s, part.start, part.start + part.length) : Text<C>();
        GH_FUZZ_CHECK(got == textref::nthPart(s, number, token, aware, true));
        GH_FUZZ_CHECK(got == textref::nthPart(s, number, token, aware, false));
        if (!got.empty()) {
            auto wanted = exact(got);
            GH_FUZZ_CHECK(index_of_part(d, text.get(), s.size(), wanted.get(), got.size()) ==
                          textref::indexOfPart(s, got, token, aware));
        }
    }
    if (!s.empty()) {
        PartCut cut = part_cut(d, text.get(), s.size(), 0);
        textref::SplitOff<C> expected = textref::splitOff(s, token, aware);
        GH_FUZZ_CHECK(textref::slice(s, cut.valueStart, cut.valueStart + cut.valueLength) == expected.piece);
        Text<C> rest = cut.ended && cut.next <= s.size() ? textref::slice(s, cut.next, s.size()) : Text<C>();
        GH_FUZZ_CHECK(rest == expected.field);
    }
}

template <class C>
void checkSmallText(FuzzInput &in, uint8_t flags, uint8_t parameter) {
    Text<C> pattern = textFrom<C>(in, parameter % 8);
    Text<C> keep = textFrom<C>(in, parameter / 8 % 8);
    Text<C> s = textFrom<C>(in, in.left());
    auto text = exact(s);
    auto pat = exact(pattern);
    GH_FUZZ_CHECK(count_occurrences(pat.get(), pattern.size(), text.get(), s.size()) == textref::howMany(pattern, s));
    size_t start = filename_start(text.get(), s.size());
    GH_FUZZ_CHECK(textref::slice(s, start, s.size()) == textref::filenameOfPath(s));
    GH_FUZZ_CHECK(textref::slice(s, 0, folder_length(text.get(), s.size())) == textref::folderPartOfPath(s));

    auto work = exact(s);
    Text<C> stripped(work.get(), work.get() + strip_zero_chars(work.get(), s.size()));
    GH_FUZZ_CHECK(stripped == textref::stripZeros(s));
    ReduceOptions o = {(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0};
    work = exact(s);
    auto keeps = exact(keep);
    Text<C> reduced(work.get(), work.get() + reduce_to_alphanumeric(work.get(), s.size(), keeps.get(), keep.size(), o));
    GH_FUZZ_CHECK(reduced == textref::reduceToAlphanumeric(s, keep, o.keepLeadingSpaces, o.keepMiddleSpaces,
                                                           o.keepTrailingSpaces));
}

template <class C>
void checkNumbers(FuzzInput &in, uint8_t flags, uint8_t parameter) {
    Text<C> s = textFrom<C>(in, in.left());
    // A long run of digits or points somewhere, now and then.
    if (parameter & 0x80) {
        size_t at = s.empty() ? 0 : parameter % (s.size() + 1);
        s.insert(s.begin() + static_cast<long>(at), 150 + parameter % 100, C(parameter & 1 ? '.' : '3'));
    }
    auto text = exact(s);
    bool decimal = flags & 1, positiveOnly = flags & 2;
    TextSpan lead = leading_number(text.get(), s.size(), decimal, positiveOnly);
    TextSpan trail = trailing_number(text.get(), s.size(), decimal, positiveOnly);
    GH_FUZZ_CHECK(textref::slice(s, lead.start, lead.start + lead.length) == textref::leadingNumber(s, decimal, positiveOnly));
    GH_FUZZ_CHECK(textref::slice(s, trail.start, trail.start + trail.length) ==
                  textref::trailingNumber(s, decimal, positiveOnly));
}

// A sink that grows by what it is asked for, into exact heap buffers.
template <class C>
struct ExactSink {
    std::unique_ptr<C[]> storage;
    TextSink<C> sink{nullptr, 0, 0, &grow, this};

    static bool grow(TextSink<C> *s, size_t more, void *context) {
        auto *self = static_cast<ExactSink *>(context);
        std::unique_ptr<C[]> bigger(new C[s->used + more]);
        if (s->used) std::memcpy(bigger.get(), s->data, s->used * sizeof(C));
        self->storage = std::move(bigger);
        s->data = self->storage.get();
        s->room = s->used + more;
        return true;
    }
};

template <class C>
void checkLines(FuzzInput &in, uint8_t flags, uint8_t parameter) {
    static const uint8_t kBreaks[][3] = {{13, 10, 0}, {10, 0, 0}, {13, 0, 0}, {10, 13, 0}, {'|', 0, 0}, {13, 10, 10}};
    static const size_t kLengths[] = {2, 1, 1, 2, 1, 3};
    size_t b = (flags >> 2) % 6;
    Text<C> lineBreak(kBreaks[b], kBreaks[b] + kLengths[b]);
    size_t written = std::min<size_t>(lineBreak.size(), 2);
    Text<C> lineStart = textFrom<C>(in, flags & 3);
    size_t lineSize = 10 + parameter % 40;
    Text<C> s = textFrom<C>(in, in.left());
    auto text = exact(s);
    auto start = exact(lineStart);
    auto brk = exact(lineBreak);

    ExactSink<C> wrapped;
    GH_FUZZ_CHECK(wrap_lines(text.get(), s.size(), start.get(), lineStart.size(), brk.get(), written, lineSize,
                             &wrapped.sink));
    GH_FUZZ_CHECK(Text<C>(wrapped.sink.data, wrapped.sink.data + wrapped.sink.used) ==
                  textref::wrapLines(s, lineStart, lineBreak, lineSize));

    Text<C> expected = textref::setLinebreaks(s, lineBreak);
    if (linebreaks_match(text.get(), s.size(), brk.get(), lineBreak.size())) {
        GH_FUZZ_CHECK(expected == s);
        return;
    }
    size_t length = set_linebreaks_length(text.get(), s.size(), written);
    GH_FUZZ_CHECK(length == expected.size());
    std::unique_ptr<C[]> out(new C[length ? length : 1]);
    TextSink<C> sink = {out.get(), 0, length, nullptr, nullptr};
    GH_FUZZ_CHECK(set_linebreaks(text.get(), s.size(), brk.get(), written, &sink));
    GH_FUZZ_CHECK(Text<C>(out.get(), out.get() + length) == expected);
    if (written == 1) {
        // In place, with exactly one character of room after the text.
        std::unique_ptr<C[]> work(new C[s.size() + 1]);
        std::copy(s.begin(), s.end(), work.get());
        size_t got = set_linebreaks_in_place(work.get(), s.size(), brk[0]);
        GH_FUZZ_CHECK(Text<C>(work.get(), work.get() + got) == expected);
    }
}

template <class C>
void check(FuzzInput &in, uint8_t selector, uint8_t parameter) {
    uint8_t flags = selector >> 3;
    switch (selector & 3) {
    case 0:
        return checkParts<C>(in, flags, parameter);
    case 1:
        return checkSmallText<C>(in, flags, parameter);
    case 2:
        return checkNumbers<C>(in, flags, parameter);
    default:
        return checkLines<C>(in, flags, parameter);
    }
}

}  // namespace

// Each input runs on every path of the scans this processor has.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    for (int tier = TEXT_SCAN_TIERS - 1; tier >= 0; --tier) {
        if (!scan_tier_runs(tier)) continue;
        scan_force_path(tier);
        FuzzInput in(data, size);
        uint8_t selector = in.byte();
        uint8_t parameter = in.byte();
        if (selector & 4) {
            check<uint32_t>(in, selector, parameter);
        } else {
            check<uint8_t>(in, selector, parameter);
        }
    }
    scan_force_path(-1);
    return 0;
}
