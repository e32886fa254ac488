// The banner's text: priorities, the status line, the render thread's try-lock reader.
#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "ui/banner_text.h"

namespace hm {
namespace {

TEST(BannerText, RisingPriorityWithAFakeClock) {
    NoticeState s;
    const BannerInputs none;
    EXPECT_EQ(BannerText(s, 0, none), L"");

    PostStatus(s, 0, L"Stav");          // until 20000
    PostNotice(s, 15000, L"Zprava", false);  // until 27000
    struct Step {
        Tick now;
        const wchar_t* text;
    } steps[] = {
        {0, L"Stav"}, {15000, L"Stav"}, {19999, L"Stav"},  // the status line outranks a passing notice
        {20000, L"Zprava"}, {26999, L"Zprava"}, {27000, L""},
    };
    for (const Step& st : steps) EXPECT_EQ(BannerText(s, st.now, none), st.text) << "at " << st.now;
}

TEST(BannerText, StickyNoticeHidesTheStatusLineAndALaterNoticeReplacesIt) {
    NoticeState s;
    PostNotice(s, 0, L"Parovani", true);
    PostStatus(s, 100, L"Stav");
    EXPECT_EQ(BannerText(s, 100, {}), L"Parovani");
    EXPECT_EQ(BannerText(s, 10'000'000, {}), L"Parovani") << "never expires";
    PostNotice(s, 15000, L"Spojeno", false);
    EXPECT_EQ(BannerText(s, 15000, {}), L"Stav") << "status beats an ordinary notice";
    EXPECT_EQ(BannerText(s, 20100, {}), L"Spojeno");
    EXPECT_EQ(BannerText(s, 27000, {}), L"");
}

TEST(BannerText, EmptyTextsDoNotHideALowerLine) {
    NoticeState s;
    PostNotice(s, 0, L"Zprava", false);
    PostStatus(s, 0, L"");
    EXPECT_EQ(BannerText(s, 10, {}), L"Zprava");
}

TEST(BannerText, VoiceOutranksNoticesAndAShownPhotoHidesEverything) {
    NoticeState s;
    PostNotice(s, 0, L"Zprava", true);
    PostStatus(s, 0, L"Stav");
    BannerInputs voice;
    voice.voice_capturing = true;
    voice.voice_channel = 2;
    EXPECT_EQ(BannerText(s, 0, voice), L"+ \u2022 Vysíláš do GlobalPD");
    BannerInputs photo = voice;
    photo.photo_visible = true;
    EXPECT_EQ(BannerText(s, 0, photo), L"");
    photo.voice_capturing = false;
    EXPECT_EQ(BannerText(s, 0, photo), L"");
}

TEST(BannerText, VoiceStatusLinePerChannel) {
    struct Case {
        int channel;
        bool work_radio;
        const wchar_t* line;
    } cases[] = {
        {4, false, L"Telefon \u2022 Probíhá soukromý hovor; při psaní je mikrofon pozastaven"},
        {1, true, L"! \u2022 Pracovní vysílačka"},
        {1, false, L"! \u2022 Vysíláš do IZS"},
        {2, true, L"+ \u2022 Vysíláš do GlobalPD"},
        {3, false, L"\u2212 \u2022 Vysíláš do LocalPD"},
        {0, true, L"M \u2022 Mluvíš k hráčům v okolí"},
        {5, false, L"M \u2022 Mluvíš k hráčům v okolí"},
        {-1, false, L"M \u2022 Mluvíš k hráčům v okolí"},
    };
    for (const Case& c : cases) EXPECT_STREQ(VoiceStatusLine(c.channel, c.work_radio), c.line) << c.channel;
    EXPECT_EQ(std::wstring(VoiceStatusLine(3, false))[0], wchar_t(0x2212));
}

TEST(BannerTextReader, ReportsChangesOnlyAgainstTheShownText) {
    std::mutex lock;
    NoticeState s;
    BannerTextReader r;
    EXPECT_FALSE(UpdateBannerText(r, lock, s, 0, {})) << "empty shows nothing, nothing shown";
    PostNotice(s, 0, L"Ahoj", false);
    EXPECT_TRUE(UpdateBannerText(r, lock, s, 1, {}));
    EXPECT_EQ(r.text, L"Ahoj");
    r.shown = r.text;
    EXPECT_FALSE(UpdateBannerText(r, lock, s, 2, {}));
    EXPECT_TRUE(UpdateBannerText(r, lock, s, 12000, {})) << "expired";
    EXPECT_EQ(r.text, L"");
    r.shown.clear();  // device change would do the same
    PostNotice(s, 12000, L"Znovu", false);
    EXPECT_TRUE(UpdateBannerText(r, lock, s, 12000, {}));
}

TEST(BannerTextReader, BusyLockKeepsThePreviousNoticeTextButVoiceStillApplies) {
    std::mutex lock;
    NoticeState s;
    BannerTextReader r;
    PostNotice(s, 0, L"Prvni", false);
    UpdateBannerText(r, lock, s, 0, {});
    r.shown = r.text;

    std::mutex m;
    std::condition_variable cv;
    bool held = false, release = false;
    std::thread writer([&] {
        std::lock_guard<std::mutex> shared(lock);
        PostNotice(s, 10, L"Druha", false);
        std::unique_lock<std::mutex> g(m);
        held = true;
        cv.notify_all();
        cv.wait(g, [&] { return release; });
    });
    {
        std::unique_lock<std::mutex> g(m);
        cv.wait(g, [&] { return held; });
    }
    EXPECT_FALSE(UpdateBannerText(r, lock, s, 20, {}));
    EXPECT_EQ(r.text, L"Prvni");
    BannerInputs voice;
    voice.voice_capturing = true;
    voice.voice_channel = 1;
    voice.work_radio = true;
    EXPECT_TRUE(UpdateBannerText(r, lock, s, 20, voice));
    EXPECT_EQ(r.text, L"! \u2022 Pracovní vysílačka");
    {
        std::lock_guard<std::mutex> g(m);
        release = true;
    }
    cv.notify_all();
    writer.join();
    EXPECT_TRUE(UpdateBannerText(r, lock, s, 30, {}));
    EXPECT_EQ(r.text, L"Druha");
}

}  // namespace
}  // namespace hm
