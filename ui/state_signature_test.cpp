// The identity-card state signature and its gate.
#include <gtest/gtest.h>

#include "ui/state_signature.h"

namespace hm {
namespace {

TEST(StateSignature, JoinsValuesInOrderWithTheCursorBandAndTextHash) {
    StateSignatureInputs in;
    in.capture_request_id = 7;
    in.scroll_x = 0;
    in.scroll_y = 120;
    in.selection_start = 3;
    in.selection_end = 5;
    in.cursor_x = 250;
    in.cursor_y = 700;
    in.layout_flags = {true, false, true, false, false};
    in.input_text = u"Ab";
    in.document_length = 1234;
    EXPECT_EQ(StateSignature(in), "7:0:120:3:5:2:1:0:1:0:0:4239274934:1234");

    struct Band {
        int y;
        const char* column;
    } bands[] = {{699, "-1"}, {700, "2"}, {80, "-1"}, {79, "2"}, {0, "2"}, {400, "-1"}};
    for (const Band& b : bands) {
        in.cursor_y = b.y;
        const std::string sig = StateSignature(in);
        EXPECT_EQ(sig.substr(std::string("7:0:120:3:5:").size(), std::string(b.column).size() + 1),
                  std::string(b.column) + ":")
            << "y " << b.y;
    }
    in.input_text = u"Žluť";  // units above 0xFF hash both bytes
    in.cursor_y = 400;
    EXPECT_EQ(StateSignature(in), "7:0:120:3:5:-1:1:0:1:0:0:802021956:1234");
    in.input_text = u"";
    EXPECT_EQ(StateSignature(in), "7:0:120:3:5:-1:1:0:1:0:0:2166136261:1234");
}

TEST(StateSignature, GateSkipsOnlyARepeatedSignature) {
    SignatureGate g;
    EXPECT_FALSE(g.Unchanged("1:2"));
    EXPECT_TRUE(g.Unchanged("1:2"));
    EXPECT_FALSE(g.Unchanged("1:3"));
    EXPECT_TRUE(g.Unchanged("1:3"));
    g.Clear();
    EXPECT_FALSE(g.Unchanged("1:3"));
    SignatureGate empty;
    EXPECT_FALSE(empty.Unchanged("")) << "nothing stored is not an empty signature";
    EXPECT_TRUE(empty.Unchanged(""));
}

}  // namespace
}  // namespace hm
