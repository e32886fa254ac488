#include "ui/banner_text.h"

namespace hm {

const wchar_t* VoiceStatusLine(int channel, bool work_radio) {
    switch (channel) {
        case 4: return L"Telefon \u2022 Probíhá soukromý hovor; při psaní je mikrofon pozastaven";
        case 1: return work_radio ? L"! \u2022 Pracovní vysílačka" : L"! \u2022 Vysíláš do IZS";
        case 2: return L"+ \u2022 Vysíláš do GlobalPD";
        case 3: return L"\u2212 \u2022 Vysíláš do LocalPD";
        default: return L"M \u2022 Mluvíš k hráčům v okolí";
    }
}

const std::wstring* NoticeBannerText(const NoticeState& state, Tick now) {
    const bool notice_live = !state.current.empty() && !IsDue(now, state.display_deadline);
    const bool sticky = notice_live && state.display_deadline == kNeverExpires;
    if (!sticky && !state.status.empty() && !IsDue(now, state.status_deadline)) return &state.status;
    if (notice_live) return &state.current;
    return nullptr;
}

namespace {
// Assigns without allocating when the capacity suffices.
void Assign(std::wstring& to, const std::wstring* from) {
    if (from) {
        if (to != *from) to.assign(*from);
    } else {
        to.clear();
    }
}
}  // namespace

std::wstring BannerText(const NoticeState& state, Tick now, const BannerInputs& in) {
    if (in.photo_visible) return std::wstring();
    if (in.voice_capturing) return VoiceStatusLine(in.voice_channel, in.work_radio);
    const std::wstring* t = NoticeBannerText(state, now);
    return t ? *t : std::wstring();
}

bool UpdateBannerText(BannerTextReader& reader, std::mutex& lock, const NoticeState& state, Tick now,
                      const BannerInputs& in) {
    {
        std::unique_lock<std::mutex> guard(lock, std::try_to_lock);
        if (guard.owns_lock()) Assign(reader.notice_text, NoticeBannerText(state, now));
    }
    if (in.photo_visible) {
        reader.text.clear();
    } else if (in.voice_capturing) {
        const wchar_t* line = VoiceStatusLine(in.voice_channel, in.work_radio);
        if (reader.text != line) reader.text.assign(line);
    } else if (reader.text != reader.notice_text) {
        reader.text.assign(reader.notice_text);
    }
    return reader.text != reader.shown;
}

}  // namespace hm
