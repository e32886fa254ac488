#include "voice/wave_devices_win.h"

namespace hm {

namespace {

static_assert(sizeof(WAVEHDR) <= sizeof(VoiceBlock::header), "the block must hold its header");

WAVEHDR& HeaderOf(VoiceBlock& block) { return *reinterpret_cast<WAVEHDR*>(block.header); }

// The driver's thread sets the flags; read them afresh every time.
DWORD FlagsOf(const WAVEHDR& h) { return *static_cast<const volatile DWORD*>(&h.dwFlags); }

}  // namespace

void CloseWaveOut(HWAVEOUT h) {
    waveOutReset(h);
    waveOutClose(h);
}

void CloseWaveIn(HWAVEIN h) {
    waveInStop(h);
    waveInReset(h);
    waveInClose(h);
}

WAVEFORMATEX VoiceFormat() {
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 16000;
    f.nAvgBytesPerSec = 32000;
    f.nBlockAlign = 2;
    f.wBitsPerSample = 16;
    return f;
}

// ---- Playback -------------------------------------------------------------------------------
bool WaveOutDevice::Open() {
    const WAVEFORMATEX f = VoiceFormat();
    HWAVEOUT h = nullptr;
    if (waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    out_.reset(h);
    return true;
}

bool WaveOutDevice::Prepare(VoiceBlock& block) {
    WAVEHDR& h = HeaderOf(block);
    h = WAVEHDR{};
    h.lpData = reinterpret_cast<LPSTR>(block.samples.data());
    h.dwBufferLength = DWORD(block.samples.size() * sizeof(std::int16_t));
    return waveOutPrepareHeader(out_.get(), &h, sizeof h) == MMSYSERR_NOERROR;
}

bool WaveOutDevice::Write(VoiceBlock& block) {
    return waveOutWrite(out_.get(), &HeaderOf(block), sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

bool WaveOutDevice::IsDone(const VoiceBlock& block) {
    return FlagsOf(*reinterpret_cast<const WAVEHDR*>(block.header)) & WHDR_DONE;
}

void WaveOutDevice::Unprepare(VoiceBlock& block) { waveOutUnprepareHeader(out_.get(), &HeaderOf(block), sizeof(WAVEHDR)); }

void WaveOutDevice::Reset() { waveOutReset(out_.get()); }

void WaveOutDevice::Close() { out_.reset(); }

// ---- Capture --------------------------------------------------------------------------------
bool WaveInDevice::Open() {
    Close();
    const WAVEFORMATEX f = VoiceFormat();
    HWAVEIN h = nullptr;
    if (calls_.open(&h, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    in_.reset(h);
    for (int i = 0; i < kCaptureBuffers; ++i) {
        WAVEHDR& hdr = headers_[i];
        hdr = WAVEHDR{};
        hdr.lpData = reinterpret_cast<LPSTR>(data_[i]);
        hdr.dwBufferLength = DWORD(sizeof data_[i]);
        if (calls_.prepare(h, &hdr, sizeof hdr) != MMSYSERR_NOERROR || calls_.add(h, &hdr, sizeof hdr) != MMSYSERR_NOERROR) {
            Close();
            return false;
        }
    }
    if (calls_.start(h) != MMSYSERR_NOERROR) {
        Close();
        return false;
    }
    return true;
}

void WaveInDevice::Close() {
    if (!in_) return;
    waveInStop(in_.get());
    waveInReset(in_.get());
    for (WAVEHDR& hdr : headers_)
        if (FlagsOf(hdr) & WHDR_PREPARED) calls_.unprepare(in_.get(), &hdr, sizeof hdr);
    in_.reset();
    for (WAVEHDR& hdr : headers_) hdr = WAVEHDR{};
}

const std::int16_t* WaveInDevice::Done(int index, std::size_t& bytes_recorded) {
    const WAVEHDR& hdr = headers_[index];
    if (!(FlagsOf(hdr) & WHDR_DONE)) return nullptr;
    bytes_recorded = hdr.dwBytesRecorded;
    return data_[index];
}

bool WaveInDevice::Requeue(int index) {
    WAVEHDR& hdr = headers_[index];
    hdr.dwBytesRecorded = 0;
    hdr.dwFlags &= ~DWORD(WHDR_DONE);
    return calls_.add(in_.get(), &hdr, sizeof hdr) == MMSYSERR_NOERROR;
}

int WaveInDevice::PreparedHeaders() const {
    int n = 0;
    for (const WAVEHDR& hdr : headers_) n += (FlagsOf(hdr) & WHDR_PREPARED) ? 1 : 0;
    return n;
}

}  // namespace hm
