#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "HxAbstractPlugin.h"

namespace {

// Conversions follow the process's current locale; the non-ASCII cases need
// a UTF-8 one. Each test restores the locale it found.
class SdkTextConversion : public ::testing::Test {
protected:
    void SetUp() override { saved_ = std::setlocale(LC_ALL, nullptr); }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }
    static bool useUtf8Locale() { return std::setlocale(LC_ALL, "C.UTF-8") != nullptr; }

private:
    std::string saved_;
};

}  // namespace

TEST_F(SdkTextConversion, AsciiConvertsCharacterForCharacter) {
    const std::string narrow = HxAbstractPlugin::wideToNativeString(L"IO Error");
    EXPECT_EQ(narrow, "IO Error");
    EXPECT_EQ(narrow.size(), 8u);
    EXPECT_EQ(HxAbstractPlugin::nativeToWideString("Device not found"), L"Device not found");
    EXPECT_EQ(HxAbstractPlugin::utf8ToWideString(""), L"");
    EXPECT_EQ(HxAbstractPlugin::wideToUtf8String(L""), "");
}

TEST_F(SdkTextConversion, AsciiKeepsItsLengthAcrossAnEmbeddedNul) {
    const std::string narrow("ab\0cd", 5);
    EXPECT_EQ(HxAbstractPlugin::utf8ToWideString(narrow), std::wstring(L"ab\0\0\0", 5));
    const std::wstring wide(L"xy\0z", 4);
    EXPECT_EQ(HxAbstractPlugin::wideToUtf8String(wide), std::string("xy\0\0", 4));
}

TEST_F(SdkTextConversion, MultilineMessageSurvivesWhole) {
    const std::wstring message =
        L"The turntable device cannot be found.\n\n- make sure driver is installed\n";
    const std::string narrow = HxAbstractPlugin::wideToNativeString(message);
    EXPECT_EQ(narrow, "The turntable device cannot be found.\n\n- make sure driver is installed\n");
}

TEST_F(SdkTextConversion, NonAsciiRoundTripsWholeUnderUtf8) {
    if (!useUtf8Locale()) {
        GTEST_SKIP() << "no UTF-8 locale on this machine";
    }
    const std::string utf8 = "Drehteller \xC3\xBC\xE2\x82\xAC \xF0\x9F\x93\xB7 Ende";
    const std::wstring wide = HxAbstractPlugin::utf8ToWideString(utf8);
    EXPECT_EQ(wide, L"Drehteller \u00FC\u20AC \U0001F4F7 Ende");
    EXPECT_EQ(HxAbstractPlugin::wideToUtf8String(wide), utf8);
    EXPECT_EQ(HxAbstractPlugin::wideToNativeString(L"\u00E9t\u00E9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(HxAbstractPlugin::nativeToWideString("\xC3\xA9t\xC3\xA9"), L"\u00E9t\u00E9");
}

TEST_F(SdkTextConversion, InvalidSequenceEndsTheResultWhereItStarts) {
    if (!useUtf8Locale()) {
        GTEST_SKIP() << "no UTF-8 locale on this machine";
    }
    // A lone continuation byte, then a sequence cut off at the end of the text.
    EXPECT_EQ(HxAbstractPlugin::utf8ToWideString("ok\xC3\xA9\x80tail"), L"ok\u00E9");
    EXPECT_EQ(HxAbstractPlugin::utf8ToWideString("ab\xE2\x82"), L"ab");
    // A value that is no character at all.
    std::wstring wide = L"ab";
    wide.push_back(static_cast<wchar_t>(-1));
    wide += L"cd";
    EXPECT_EQ(HxAbstractPlugin::wideToUtf8String(wide), "ab");
}

TEST_F(SdkTextConversion, NonAsciiInTheCLocaleGivesTheConvertiblePrefix) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    const std::string narrow = HxAbstractPlugin::wideToUtf8String(L"abc\u00FCdef");
    // Whatever the C locale makes of the character, nothing past the text is read
    // and the ASCII prefix is intact.
    EXPECT_EQ(narrow.substr(0, 3), "abc");
    EXPECT_LE(narrow.size(), 7u * 4u);
}
