// Catch at the edge: a throwing body never escapes, its fallback answers, the failure is counted.
#include <gtest/gtest.h>

#include <stdexcept>

#include "base/edge.h"

namespace hm {
namespace {

TEST(AtTheEdge, ThrowingBodiesGiveTheFallbackAndAreCounted) {
    const long before = Plugin().edge_failures.load();
    EXPECT_EQ(AtTheEdge(7, [] { return 3; }), 3);
    EXPECT_EQ(Plugin().edge_failures.load(), before);

    EXPECT_EQ(AtTheEdge(7, []() -> int { throw std::runtime_error("x"); }), 7);
    EXPECT_EQ(AtTheEdge(7, []() -> int { throw 42; }), 7);  // not only std::exception
    EXPECT_EQ(Plugin().edge_failures.load(), before + 2);

    int passed_on = 0;
    const long r = AtTheEdgeOr([]() -> long { throw std::bad_alloc(); }, [&] { return long(++passed_on); });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(passed_on, 1);

    // A fallback that throws too still ends at the edge, with a default value.
    EXPECT_EQ(AtTheEdgeOr([]() -> int { throw 1; }, []() -> int { throw 2; }), 0);
    bool ran = false;
    AtTheEdge([&] {
        ran = true;
        throw std::logic_error("y");
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(Plugin().edge_failures.load(), before + 6);
}

}  // namespace
}  // namespace hm
