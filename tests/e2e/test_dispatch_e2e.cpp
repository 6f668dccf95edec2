#include "e2e_support.h"

namespace e2e {
namespace {

using Dispatch = Installation;

TEST_F(Dispatch, NoArgumentExits255Silently) {
    const RunResult r = run({});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::is_empty(work()));
}

}  // namespace
}  // namespace e2e
