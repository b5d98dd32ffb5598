// The catalogue each library file carries, read as a host reads it.
#include <gtest/gtest.h>

#include "emulator/system.h"
#include "resources/catalogue.h"
#include "tests/support/loaded.h"

namespace {

class CatalogueData : public ghtest::EachBuild {};
GH_FOR_EACH_BUILD(CatalogueData);

struct Row {
    const char *name;
    const char *params;
    uint32_t reference;
};

const Row kTable[] = {
#define GH_FUNCTION(number, name, params, reference, built) {#name, params, reference},
#include "resources/catalogue.def"
#undef GH_FUNCTION
};

TEST_P(CatalogueData, DescriptorAndStringsAreExact) {
    auto file = ghemu::LibraryFile::open(ghemu::libraryPathNextToExecutable(build() == ghemu::Build::Wide));
    ghemu::RawCatalogue raw = file->readCatalogue();
    const char *marker = build() == ghemu::Build::Wide ? "UFNC" : "7FNC";
    std::vector<uint8_t> descriptor(marker, marker + 4);
    descriptor.insert(descriptor.end(), {0x1D, 0x2F, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(raw.descriptor, descriptor);

    ASSERT_EQ(raw.strings.size(), 39u);  // 12061 to 12099, no 12100
    for (size_t i = 0; i < 38; ++i) {
        EXPECT_EQ(raw.strings[i].first, 12061u + i);
        std::string entry = std::string(kTable[i].name) + "(" + kTable[i].params + "):" +
                            std::to_string(kTable[i].reference);
        EXPECT_EQ(raw.strings[i].second, (i == 0 ? "GlyphHerder~" : "") + entry);
    }
    EXPECT_EQ(raw.strings[38], std::make_pair(12099u, std::string("*glyphHerder")));
}

TEST_P(CatalogueData, ParsedAsTheHostSeesIt) {
    const ghemu::Catalogue &c = library().catalogue();
    EXPECT_EQ(c.build(), build());
    EXPECT_EQ(c.group(), "GlyphHerder");
    ASSERT_EQ(c.functions().size(), 38u);
    EXPECT_EQ(c.find(34)->name, "NTLMchallenge");  // 12061030, though before 12061029
    EXPECT_EQ(c.find(34)->reference, 12061030u);
    EXPECT_EQ(c.find("blowfishContext")->params, "");
    EXPECT_EQ(c.find("blowfishContext")->reference, 21202000u);
    EXPECT_EQ(c.find("SHA512Digest")->stringId, 12098u);
    EXPECT_EQ(c.find("sha512digest"), nullptr);  // names are exact
}

TEST_P(CatalogueData, TheOtherBuildIsRefused) {
    ghemu::Build other = build() == ghemu::Build::Wide ? ghemu::Build::Byte : ghemu::Build::Wide;
    EXPECT_THROW(ghemu::Library::load(ghemu::libraryPathNextToExecutable(build() == ghemu::Build::Wide), other),
                 ghemu::CatalogueError);
}

}  // namespace
