// Notice timing: repeat suppression, display time, sticky notices, status line.
#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "ui/notices.h"

namespace hm {
namespace {

TEST(Notices, RepeatWithinSixtySecondsIsDroppedAndShownAgainAfter) {
    NoticeState s;
    PostNotice(s, 1000, L"A", false);
    EXPECT_EQ(s.current, L"A");
    EXPECT_EQ(s.display_deadline, 13000u);
    PostNotice(s, 2000, L"B", false);
    PostNotice(s, 3000, L"B", false);  // dropped: B accepted at 2000
    EXPECT_EQ(s.display_deadline, 14000u);
    PostNotice(s, 61999, L"B", false);  // still inside 60 s of 2000
    EXPECT_EQ(s.display_deadline, 14000u);
    PostNotice(s, 62000, L"B", false);  // 60 s passed
    EXPECT_EQ(s.display_deadline, 74000u);
    EXPECT_EQ(s.repeat_deadline, 122000u);
    // Another text in between resets the comparison.
    PostNotice(s, 63000, L"C", false);
    PostNotice(s, 63001, L"B", false);
    EXPECT_EQ(s.current, L"B");
}

TEST(Notices, StickyNeverExpiresIsAlwaysShownAndIsReplacedByALaterNotice) {
    NoticeState s;
    PostNotice(s, 100, L"Pairing", true);
    EXPECT_EQ(s.display_deadline, kNeverExpires);
    PostNotice(s, 200, L"Pairing", true);  // sticky repeats are not suppressed
    EXPECT_EQ(s.repeat_deadline, 60200u);
    PostNotice(s, 300, L"Other", false);
    EXPECT_EQ(s.current, L"Other");
    EXPECT_EQ(s.display_deadline, 12300u);
}

TEST(Notices, StatusLastsTwentySeconds) {
    NoticeState s;
    PostStatus(s, 5000, L"Hlas");
    EXPECT_EQ(s.status, L"Hlas");
    EXPECT_EQ(s.status_deadline, 25000u);
    EXPECT_TRUE(s.current.empty());
}

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
