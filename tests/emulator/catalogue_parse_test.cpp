// The catalogue reader refuses data that is not a well-formed catalogue.
#include <gtest/gtest.h>

#include <functional>

#include "emulator/catalogue.h"

namespace {

ghemu::RawCatalogue good() {
    ghemu::RawCatalogue raw;
    raw.descriptor = {'7', 'F', 'N', 'C', 0x1D, 0x2F, 0, 0, 0, 0, 0, 0, 0, 0};
    raw.strings = {{12061, "GlyphHerder~one(a, b [,c?]):12061001"},
                   {12062, "two():21202000"},
                   {12063, "*glyphHerder"}};
    return raw;
}

TEST(CatalogueParse, AWellFormedCatalogue) {
    ghemu::Catalogue c = ghemu::Catalogue::parse(good());
    EXPECT_EQ(c.build(), ghemu::Build::Byte);
    EXPECT_EQ(c.group(), "GlyphHerder");
    ASSERT_EQ(c.functions().size(), 2u);
    EXPECT_EQ(c.find("one")->params, "a, b [,c?]");
    EXPECT_EQ(c.find(2)->reference, 21202000u);
    EXPECT_EQ(c.find(3), nullptr);
}

TEST(CatalogueParse, MalformedDataIsRefused) {
    const std::vector<std::function<void(ghemu::RawCatalogue &)>> breakages = {
        [](auto &r) { r.descriptor.pop_back(); },
        [](auto &r) { r.descriptor[0] = 'X'; },
        [](auto &r) { r.descriptor[4] = 0x1E; },
        [](auto &r) { r.descriptor[13] = 1; },
        [](auto &r) { r.strings[1].first = 12063; },                 // a gap
        [](auto &r) { r.strings.pop_back(); },                      // no *glyphHerder
        [](auto &r) { r.strings.back().second = "*other"; },
        [](auto &r) { r.strings[0].second = "one(a):1"; },          // no group
        [](auto &r) { r.strings[1].second = "two:1"; },             // no parentheses
        [](auto &r) { r.strings[1].second = "two():x1"; },          // no reference
        [](auto &r) { r.strings[1].second = "one():2"; },           // twice
        [](auto &r) { r.strings.resize(1); },
    };
    for (size_t i = 0; i < breakages.size(); ++i) {
        ghemu::RawCatalogue raw = good();
        breakages[i](raw);
        EXPECT_THROW(ghemu::Catalogue::parse(raw), ghemu::CatalogueError) << "breakage " << i;
    }
}

}  // namespace
