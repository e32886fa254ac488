#include "voice/exchange.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "voice/test_ports.h"

namespace hm {
namespace {

struct Request {
    std::string method, path, bearer, body;
    Tick at = 0;
};

struct Frame {
    std::uint16_t id, gain;
    std::string samples;
};

std::string Le(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
    return s;
}

std::string Answer(std::uint64_t cursor, const std::vector<Frame>& frames, std::size_t count = SIZE_MAX) {
    std::string s = "HMV1" + Le(cursor, 8) + Le(count == SIZE_MAX ? frames.size() : count, 2);
    for (const Frame& f : frames) s += Le(f.id, 2) + Le(f.gain, 2) + Le(f.samples.size(), 2) + f.samples;
    return s;
}

ApiResponse Ok(const std::string& body) { return {200, body}; }

struct ExchangeFixture : ::testing::Test {
    VoiceState state;
    ExchangeRecord record;
    Tick t = 10000;
    int request_ms = 30;
    std::vector<int> sleeps;
    std::vector<Request> requests;
    std::vector<std::shared_ptr<test::OutLog>> outputs;  // in the order players were made
    std::function<ApiResponse(const Request&)> capability = [](const Request&) { return Ok("1"); };
    std::function<ApiResponse(const Request&)> exchange = [](const Request&) { return Ok(Answer(0, {})); };
    ExchangeSeams seams;

    ExchangeFixture() {
        HandOverVoiceToken(state, "token");
        state.volume.store(100);
        seams.request = [this](const std::string& m, const std::string& p, const std::string& b,
                               const std::string& body) {
            requests.push_back({m, p, b, body, t});
            t += request_ms;
            return p == "/voice/capabilities" ? capability(requests.back()) : exchange(requests.back());
        };
        seams.now = [this] { return t; };
        seams.sleep = [this](int ms) {
            sleeps.push_back(ms);
            t += ms;
        };
        seams.new_output = [this] {
            outputs.push_back(std::make_shared<test::OutLog>());
            return std::make_unique<test::FakeOut>(outputs.back());
        };
    }
    void Pass() { ExchangePass(record, state, seams); }
    void Queue(std::size_t n) {
        std::lock_guard<std::mutex> hold(state.lock);
        state.queue.assign(n, 0x2A);
    }
    std::size_t Queued() {
        std::lock_guard<std::mutex> hold(state.lock);
        return state.queue.size();
    }
    std::vector<Request> Exchanges() const {
        std::vector<Request> out;
        for (const Request& r : requests)
            if (r.method == "POST") out.push_back(r);
        return out;
    }
    // Ticks from `since` to the next exchange request, running passes until it goes out.
    Tick NextExchangeAfter(Tick since) {
        const std::size_t before = Exchanges().size();
        for (int i = 0; i < 100 && Exchanges().size() == before; ++i) Pass();
        return Exchanges().back().at - since;
    }
};

TEST_F(ExchangeFixture, IdleWithoutTokenOrSwitchedOffSleeps100AndReleasesPlayers) {
    exchange = [](const Request&) { return Ok(Answer(1, {{7, 255, std::string(160, '\x10')}})); };
    Pass();
    ASSERT_EQ(outputs.size(), 1u);
    state.enabled.store(false);
    Queue(500);
    Pass();
    EXPECT_EQ(outputs[0]->closes, 1);
    EXPECT_EQ(sleeps.back(), 100);
    EXPECT_EQ(Queued(), 500u);  // left for the capture thread to clear
    state.enabled.store(true);
    HandOverVoiceToken(state, "");
    const std::size_t sent = requests.size();
    Pass();
    EXPECT_EQ(requests.size(), sent);
    EXPECT_EQ(sleeps.back(), 100);
}

TEST_F(ExchangeFixture, FirstPassAsksCapabilitiesThenExchangesTheBareCursor) {
    Pass();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/voice/capabilities");
    EXPECT_EQ(requests[0].bearer, "token");
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].path, "/voice/exchange?channel=0");
    EXPECT_EQ(requests[1].bearer, "token");
    EXPECT_EQ(requests[1].body, std::string(8, '\0'));
    EXPECT_EQ(sleeps, std::vector<int>{120});
}

TEST_F(ExchangeFixture, SamplesTakenWithinTheirBoundsOnTheSelectedChannel) {
    struct Case { std::size_t queued, sent, left; int channel; };
    const Case cases[] = {
        {0, 0, 0, 0}, {159, 0, 159, 1}, {160, 160, 0, 2}, {3200, 3200, 0, 3}, {3201, 3200, 1, 4}, {6400, 3200, 3200, 0},
    };
    for (const Case& c : cases) {
        Queue(c.queued);
        {
            std::lock_guard<std::mutex> hold(state.lock);
            state.selected_channel = c.channel;
        }
        Pass();
        const Request r = Exchanges().back();
        EXPECT_EQ(r.path, "/voice/exchange?channel=" + std::to_string(c.channel));
        EXPECT_EQ(r.body.size(), 8 + c.sent) << c.queued;
        EXPECT_EQ(r.body.substr(8), std::string(c.sent, '\x2A'));
        EXPECT_EQ(Queued(), c.left) << c.queued;
    }
}

TEST_F(ExchangeFixture, CursorIsEchoedAndStartsAtZeroForANewGeneration) {
    exchange = [](const Request&) { return Ok(Answer(0x0102030405060708ull, {{3, 255, std::string(160, '\x01')}})); };
    Pass();
    Pass();
    EXPECT_EQ(Exchanges()[1].body.substr(0, 8), Le(0x0102030405060708ull, 8));
    ASSERT_EQ(outputs.size(), 1u);
    const std::size_t capability_asks = requests.size() - Exchanges().size();

    HandOverVoiceToken(state, "token2");
    Pass();
    EXPECT_EQ(Exchanges()[2].body.substr(0, 8), std::string(8, '\0'));
    EXPECT_EQ(Exchanges()[2].bearer, "token2");
    EXPECT_EQ(requests.size() - Exchanges().size(), capability_asks + 1);  // asked anew at once
    EXPECT_EQ(outputs[0]->closes, 1);                                       // old speaker released
}

TEST_F(ExchangeFixture, CapabilitiesEvery1200MsOrEvery350DuringACall) {
    // The first interval follows the mask at the time of the first ask, which is 1.
    struct Case { const char* answer; Tick interval; };
    for (const Case& c : {Case{"3", 1200}, Case{"17", 350}}) {
        requests.clear();
        record = ExchangeRecord();
        capability = [&](const Request&) { return Ok(c.answer); };
        for (int i = 0; i < 40; ++i) Pass();
        std::vector<Tick> asks;
        for (const Request& r : requests)
            if (r.method == "GET") asks.push_back(r.at);
        ASSERT_GE(asks.size(), 3u);
        for (std::size_t i = 1; i < asks.size(); ++i) {
            const Tick expected = i == 1 ? 1200 : c.interval;
            EXPECT_GE(asks[i] - asks[i - 1], expected) << c.answer << " " << i;
            EXPECT_LT(asks[i] - asks[i - 1], expected + 200) << c.answer << " " << i;  // one pass at most late
        }
    }
}

TEST_F(ExchangeFixture, CapabilityAnswersGiveTheMaskOrOne) {
    struct Case { int status; const char* body; bool throws; int mask; bool work_radio; };
    // The work-radio flag starts set: a throw leaves it, a non-200 answer clears it.
    const Case cases[] = {
        {200, "35", false, 35, true},   {200, "32", false, 1, true},   {200, "3", false, 3, false},
        {200, "2", false, 1, false},    {200, "64", false, 1, false},  {200, " 35x", false, 35, true},
        {200, "-1", false, 1, true},    {200, "63", false, 63, true},  {200, "", false, 1, true},
        {200, "abc", false, 1, true},   {200, "99999999999", false, 1, true},
        {500, "35", false, 1, false},   {403, "35", false, 1, false},  {0, "", true, 1, true},
    };
    for (const Case& c : cases) {
        record = ExchangeRecord();
        state.work_radio.store(true);
        capability = [&](const Request&) -> ApiResponse {
            if (c.throws) throw std::runtime_error("connection failed");
            return {c.status, c.body};
        };
        Pass();
        EXPECT_EQ(state.capability_mask.load(), c.mask) << c.status << " '" << c.body << "'";
        EXPECT_EQ(state.work_radio.load(), c.work_radio) << c.status << " '" << c.body << "'";
    }
}

TEST(CapabilityValue, ParsesASignedDecimalWithinThirtyTwoBits) {
    struct Case { const char* body; bool ok; int value; };
    const Case cases[] = {
        {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1}, {"2147483648", false, 0},
        {"-2147483649", false, 0},        {"+5", true, 5},    {"\t\n 7 ", true, 7}, {"-", false, 0},
        {" ", false, 0},                  {"0x10", true, 0},  {"12abc", true, 12},
    };
    for (const Case& c : cases) {
        if (c.ok) {
            EXPECT_EQ(ParseCapabilityValue(c.body), c.value) << c.body;
        } else {
            EXPECT_THROW(ParseCapabilityValue(c.body), std::runtime_error) << c.body;
        }
    }
}

// The answer to a capability request sent for the previous token must not grant channels to the new one.
TEST_F(ExchangeFixture, CapabilityAnswerArrivingAfterATokenChangeIsDropped) {
    Pass();
    record.next_capability = t;
    capability = [&](const Request&) {
        HandOverVoiceToken(state, "token2");
        return Ok("35");
    };
    Pass();
    EXPECT_EQ(state.capability_mask.load(), 1);
    EXPECT_FALSE(state.work_radio.load());
    capability = [](const Request&) { return Ok("35"); };
    Pass();  // the new session asks anew and is granted
    EXPECT_EQ(state.capability_mask.load(), 35);
}

TEST_F(ExchangeFixture, ExchangeAnswerArrivingAfterATokenChangeIsIgnored) {
    exchange = [&](const Request&) {
        HandOverVoiceToken(state, "token2");
        return Ok(Answer(99, {{3, 255, std::string(160, '\x01')}}));
    };
    Pass();
    EXPECT_TRUE(outputs.empty());
    exchange = [](const Request&) { return Ok(Answer(0, {})); };
    Pass();
    EXPECT_EQ(Exchanges().back().body.substr(0, 8), std::string(8, '\0'));
}

TEST_F(ExchangeFixture, StatusesPauseAndWithdrawAsTheServerSays) {
    struct Case { int status; bool throws; Tick pause; int mask_after; bool released; };
    const Case cases[] = {
        {429, false, 0, 35, false}, {403, false, 1000, 1, true}, {500, false, 1000, 35, true},
        {404, false, 1000, 35, true}, {0, true, 1500, 35, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        record = ExchangeRecord();
        outputs.clear();
        capability = [](const Request&) { return Ok("35"); };
        exchange = [](const Request&) { return Ok(Answer(42, {{3, 255, std::string(160, '\x01')}})); };
        Pass();
        ASSERT_EQ(outputs.size(), 1u);
        exchange = [&](const Request&) -> ApiResponse {
            if (c.throws) throw std::runtime_error("connection failed");
            return {c.status, ""};
        };
        Pass();
        const Tick failed_at = Exchanges().back().at + request_ms;
        EXPECT_EQ(state.capability_mask.load(), c.mask_after);
        EXPECT_EQ(outputs[0]->closes, c.released ? 1 : 0);
        exchange = [](const Request&) { return Ok(Answer(43, {})); };
        const Tick gap = NextExchangeAfter(failed_at);
        EXPECT_GE(gap, c.pause);
        EXPECT_LT(gap, c.pause + 250);
        EXPECT_EQ(Exchanges().back().body.substr(0, 8), Le(42, 8));  // cursor kept
    }
}

TEST_F(ExchangeFixture, BadAnswersPlayNothingPauseAndKeepTheCursor) {
    const std::string s160(160, '\x05');
    const std::string good = Answer(5, {{1, 255, s160}});
    struct Case { const char* name; std::string body; const char* text; };
    const std::vector<Case> cases = {
        {"13 bytes", Answer(5, {}).substr(0, 13), "invalid voice response"},
        {"HMV2", "HMV2" + Answer(5, {}).substr(4), "invalid voice response"},
        {"count 13", Answer(5, {}, 13), "voice count limit"},
        {"5 bytes for a header", Answer(5, {{1, 255, s160}}, 2) + std::string(5, '\0'), "truncated voice header"},
        {"id 1000", Answer(5, {{1, 255, s160}, {1000, 255, s160}}), "invalid voice frame"},
        {"gain 256", Answer(5, {{1, 256, s160}}), "invalid voice frame"},
        {"L 159", Answer(5, {{1, 255, std::string(159, '\x05')}}), "invalid voice frame"},
        {"L 3201", Answer(5, {{1, 255, std::string(3201, '\x05')}}), "invalid voice frame"},
        {"samples one past the end", good.substr(0, good.size() - 1), "invalid voice frame"},
        {"one trailing byte", good + "x", "voice trailing bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        record = ExchangeRecord();
        record.started = true;
        record.generation_seen = state.generation.load();
        record.cursor = 77;
        outputs.clear();
        exchange = [&](const Request&) { return Ok(c.body); };
        Pass();
        EXPECT_EQ(record.last_failure, c.text);
        EXPECT_TRUE(outputs.empty());
        EXPECT_EQ(record.cursor, 77u);
        EXPECT_EQ(record.backoff_until, Exchanges().back().at + request_ms + 1500);
    }
}

TEST(VoiceAnswer, SmallestAndLargestValidAnswers) {
    const VoiceAnswer empty = ParseVoiceAnswer(Answer(0xFFFFFFFFFFFFFFFFull, {}));
    EXPECT_EQ(empty.cursor, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_TRUE(empty.frames.empty());

    std::vector<Frame> frames;
    for (int i = 0; i < 12; ++i) frames.push_back({std::uint16_t(999 - i), 255, std::string(3200, char(i))});
    frames[0].samples = std::string(160, 'a');
    frames[1].gain = 0;
    const std::string body = Answer(1, frames);
    const VoiceAnswer full = ParseVoiceAnswer(body);
    ASSERT_EQ(full.frames.size(), 12u);
    EXPECT_EQ(full.frames[0].speaker, 999);
    EXPECT_EQ(full.frames[0].count, 160u);
    EXPECT_EQ(full.frames[0].offset, 20u);
    EXPECT_EQ(full.frames[1].gain, 0);
    EXPECT_EQ(full.frames[11].offset + full.frames[11].count, body.size());
}

TEST_F(ExchangeFixture, FramesPlayScaledOnTheirSpeakersAndANinthEvictsTheLowestId) {
    state.volume.store(80);
    const std::uint16_t ids[] = {30, 20, 10, 40, 50, 60, 70, 80};
    std::vector<Frame> frames;
    for (std::uint16_t id : ids) frames.push_back({id, 200, std::string(160, '\x00')});
    exchange = [&](const Request&) { return Ok(Answer(1, frames)); };
    Pass();
    ASSERT_EQ(outputs.size(), 8u);
    EXPECT_EQ(state.players.load(), 8);
    EXPECT_EQ(outputs[0]->written.at(0).at(0), -32124 * 80 * 200 / 25500);

    frames = {{90, 255, std::string(160, '\x80')}, {30, 255, std::string(160, '\x80')}};
    Pass();
    ASSERT_EQ(outputs.size(), 9u);
    EXPECT_EQ(outputs[2]->closes, 1);  // speaker 10, the lowest id
    EXPECT_EQ(outputs[0]->closes, 0);  // speaker 30, the oldest, stays
    EXPECT_EQ(outputs[0]->written.size(), 2u);
    EXPECT_EQ(state.players.load(), 8);
}

TEST_F(ExchangeFixture, PlayersSilentForMoreThan2000MsAreReleased) {
    request_ms = 0;
    exchange = [](const Request&) { return Ok(Answer(1, {{7, 255, std::string(160, '\x01')}})); };
    Pass();
    const Tick wrote = t - 120;
    exchange = [](const Request&) { return Ok(Answer(1, {})); };
    while (t + 120 <= wrote + 2000) Pass();
    EXPECT_EQ(outputs[0]->closes, 0);
    t = wrote + 2000;
    Pass();
    EXPECT_EQ(outputs[0]->closes, 0);  // exactly 2000 ms is not yet silent
    t = wrote + 2001;
    Pass();
    EXPECT_EQ(outputs[0]->closes, 1);
    EXPECT_EQ(state.players.load(), 0);
}

}  // namespace
}  // namespace hm
