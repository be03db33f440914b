// Once a client has seen a frame of some shape, further frames of that shape must
// not touch the heap: the receiver thread parses many frames a second for as long
// as the tester runs. Allocations are counted by the replaced malloc and operator
// new linked into this executable.
#include "allocationcounter.h"
#include "loopback.h"
#include "sampleframes.h"

#include "OmbrixInternals.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

unsigned long long count_now() {
    return allocation_counter::allocations();
}

bool parse_through_seam(Ombrix& client, const FrameBuilder& frame) {
    return OmbrixInternals::parse_datagram(client, frame.text().data(), frame.text().size());
}

class SteadyStateAllocations : public ::testing::TestWithParam<FrameSize> {};

std::string size_name(const ::testing::TestParamInfo<FrameSize>& info) {
    return frame_size_name(info.param);
}

} // namespace

// Guards the other tests against a counter that stopped counting and so reports
// zero for everything.
TEST(AllocationCounter, SeesMallocOperatorNewAndRecordGrowth) {
    void* (*volatile allocate)(std::size_t) = std::malloc;
    unsigned long long before = count_now();
    void* block = allocate(64);
    EXPECT_EQ(count_now() - before, 1u);
    std::free(block);

    // The client object comes from operator new; its socket handle and its
    // receive buffer from malloc.
    before = count_now();
    std::unique_ptr<Ombrix> client = make_client();
    EXPECT_GE(count_now() - before, 3u);
    ASSERT_TRUE(client->valid());

    before = count_now();
    ASSERT_TRUE(parse_through_seam(*client, sample_frame(FrameSize::typical, 0)));
    EXPECT_GT(count_now() - before, 0u) << "a fresh client's record arrays must grow";
}

TEST_P(SteadyStateAllocations, RepeatedFramesThroughTheSeamAllocateNothing) {
    std::unique_ptr<Ombrix> client = make_client();
    ASSERT_TRUE(parse_through_seam(*client, sample_frame(GetParam(), 0)));

    for (unsigned variant = 1; variant <= 3; ++variant) {
        const FrameBuilder frame = sample_frame(GetParam(), variant);
        const unsigned long long before = count_now();
        const bool parsed = parse_through_seam(*client, frame);
        const unsigned long long allocations = count_now() - before;
        ASSERT_TRUE(parsed) << "variant " << variant;
        EXPECT_EQ(allocations, 0u) << "variant " << variant;
    }
}

TEST_P(SteadyStateAllocations, RepeatedFramesThroughUdpReceiveAllocateNothing) {
    std::unique_ptr<Ombrix> client = make_client();
    UdpSocket sender;
    sender.send(client->get_data_port(), sample_frame(GetParam(), 0).text());
    ASSERT_TRUE(client->receive());

    for (unsigned variant = 1; variant <= 3; ++variant) {
        const FrameBuilder frame = sample_frame(GetParam(), variant);
        sender.send(client->get_data_port(), frame.text());
        const unsigned long long before = count_now();
        const bool received = client->receive();
        const unsigned long long allocations = count_now() - before;
        ASSERT_TRUE(received) << "variant " << variant;
        EXPECT_EQ(client->get_framecounter(), 1048576u + variant);
        EXPECT_EQ(allocations, 0u) << "variant " << variant;
    }
}

INSTANTIATE_TEST_SUITE_P(FrameSizes, SteadyStateAllocations,
                         ::testing::Values(FrameSize::single_skywand, FrameSize::typical,
                                           FrameSize::largest),
                         size_name);

// Skywand counts go from 4 to 1 and back and the calibrated body count from 40 to
// 10: shrinking and regrowing within the storage already held must not allocate.
TEST(SteadyStateAllocationsAcrossSizes, AlternatingShapesAfterWarmUpAllocateNothing) {
    const FrameSize sizes[] = {FrameSize::largest, FrameSize::single_skywand, FrameSize::typical};
    std::unique_ptr<Ombrix> client = make_client();
    for (FrameSize size : sizes)
        ASSERT_TRUE(parse_through_seam(*client, sample_frame(size, 0)));

    const FrameSize order[] = {FrameSize::single_skywand, FrameSize::largest, FrameSize::typical,
                               FrameSize::single_skywand, FrameSize::typical, FrameSize::largest};
    unsigned variant = 1;
    for (FrameSize size : order) {
        const FrameBuilder frame = sample_frame(size, variant++);
        const unsigned long long before = count_now();
        const bool parsed = parse_through_seam(*client, frame);
        const unsigned long long allocations = count_now() - before;
        ASSERT_TRUE(parsed) << frame_size_name(size);
        EXPECT_EQ(allocations, 0u) << frame_size_name(size);
    }
    EXPECT_EQ(client->get_num_body(), 40);
    EXPECT_EQ(client->get_num_skywand(), 4);
}
