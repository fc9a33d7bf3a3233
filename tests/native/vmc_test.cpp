// The live link: OSC bundles byte for byte (osc_messages.txt), the figure's parts as humanoid bones, the mirror
// into Unity's axes, the frames between two, and when frames are sent.
#include "monitor/live_link.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "solver/figure_pose.h"
#include "tests/common/data_table.h"

namespace {

// A bundle of `times` the message "address tags arguments..."; returns what finishOscBundle gives.
int buildBundle(int times, const std::string& message, OscPacket& packet) {
    startOscBundle(packet);
    for (int n = 0; n < times; ++n) {
        std::istringstream words(message);
        std::string address, tags, word;
        words >> address >> tags;
        startOscMessage(packet, address.c_str(), tags.c_str());
        for (char tag : tags.substr(1)) {
            words >> word;
            tag == 'i' ? putOscInt(packet, std::stoi(word))
                       : tag == 'f' ? putOscFloat(packet, std::stof(word)) : putOscString(packet, word.c_str());
        }
    }
    return finishOscBundle(packet);
}

Rotation randomRotation(std::mt19937_64& random) {
    std::normal_distribution<double> normal;
    const double v[3] = {normal(random), normal(random), normal(random)};
    return fromRotationVector(v);
}

}  // namespace

// Every row's bytes; a packet that overflows is refused whole and nothing lands past its buffer.
TEST(OscBundle, Bytes) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/osc_messages.txt")) {
        SCOPED_TRACE(row.where + " " + row.fields[0]);
        struct { OscPacket packet; std::uint8_t after[64]; } guarded;
        std::memset(&guarded, 0xA5, sizeof guarded);
        const OscPacket& packet = guarded.packet;
        const int fitted = buildBundle(std::stoi(row.fields[1]), row.fields[2], guarded.packet);
        std::string expected = row.fields[3], hex;
        std::erase(expected, ' ');
        for (int i = 0; i < packet.size; ++i)
            hex += {"0123456789abcdef"[packet.bytes[i] >> 4], "0123456789abcdef"[packet.bytes[i] & 15]};
        const std::string size = std::to_string(packet.size) + "bytes";
        EXPECT_EQ(!fitted ? "overflow" : expected.ends_with("bytes") ? size : hex, expected);
        EXPECT_LE(packet.size, oscPacketCapacity);
        EXPECT_EQ(std::count(guarded.after, guarded.after + 64, 0xA5), 64);
    }
}

// Each part in one bone; a bone's parts a chain hanging from its parent bone's last part; a left bone holds the
// figure's left parts.
TEST(VmcBones, PartsMeetBones) {
    int held[bodyPartCount] = {};
    for (int bone = 0; bone < vmcBoneCount; ++bone) {
        const char* name = vmcBones[bone].name;
        const char side = std::strncmp(name, "Left", 4) == 0 ? 'l' : std::strncmp(name, "Right", 5) == 0 ? 'r' : 0;
        std::uint8_t above = vmcBones[bone].parent == noPart ? noParent : vmcLastPart(vmcBones[bone].parent);
        for (std::uint8_t row : vmcBones[bone].parts) {
            if (row == noPart) continue;
            ++held[row];
            EXPECT_EQ(bodyPartTable[row].parent, above) << name << " " << bodyPartTable[row].name;
            EXPECT_TRUE(side == 0 || bodyPartTable[row].name[0] == side) << name << " " << bodyPartTable[row].name;
            above = row;
        }
    }
    for (int row = 0; row < bodyPartCount; ++row) EXPECT_EQ(held[row], 1) << bodyPartTable[row].name;
}

// The figure's right arm raised forward: at rest it points -X; raised it points +Z, a quarter turn about +Y,
// q = (cos 45, 0, sin 45, 0). Mirrored, q' = (cos 45, 0, -sin 45, 0): in Unity's axes the right arm rests along
// +X, and q' carries +X to +Z, forward again.
TEST(VmcMirror, RightArmRaisedForward) {
    const double half = std::sqrt(0.5), figureRight[3] = {-1, 0, 0}, unityRight[3] = {1, 0, 0};
    double forward[2][3];
    rotate({half, 0, half, 0}, figureRight, forward[0]);
    rotate(mirrorRotation({half, 0, half, 0}), unityRight, forward[1]);
    for (const double* arm : forward)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(arm[k], k == 2 ? 1 : 0, 1e-12);
}

// Frames between lie on the shorter arc at its even pace; bone 0 is a pair of negative dot product, 80 degrees
// about X and 100 degrees about Y written as its negative.
TEST(VmcFrame, BetweenOnTheShorterArc) {
    std::mt19937_64 random(11);
    const double degree = 3.141592653589793 / 180;
    VmcFrame a{}, b{.local = {}, .hips = {0, 20, 0}}, between;
    for (int bone = 1; bone < vmcBoneCount; ++bone)
        a.local[bone] = randomRotation(random), b.local[bone] = randomRotation(random);
    a.local[0] = {std::cos(40 * degree), std::sin(40 * degree), 0, 0};
    b.local[0] = {-std::cos(50 * degree), 0, -std::sin(50 * degree), 0};
    for (double share : {0.0, 0.25, 0.5, 1.0}) {
        vmcFrameBetween(a, b, share, between);
        EXPECT_NEAR(between.hips[1], 20 * share, 1e-12);
        for (int bone = 0; bone < vmcBoneCount; ++bone) {
            const double whole = angleBetween(a.local[bone], b.local[bone]);
            EXPECT_NEAR(angleBetween(a.local[bone], between.local[bone]), share * whole, 1e-9) << bone << share;
            EXPECT_NEAR(angleBetween(between.local[bone], b.local[bone]), (1 - share) * whole, 1e-9) << bone << share;
        }
    }
}

// The schedule, one row a stretch of calls: a frame read at `readAt` (none when negative), its hips' x being its
// number so that a frame between shows its share, then `calls` calls from `firstCall`, `spacing` apart; how many
// frames were due, and the hips' x of the first and the last.
TEST(LinkSchedule, FramesDueAtThirtyASecond) {
    struct Stretch { const char* what; double readAt, firstCall, spacing; int calls, due; double first, last; };
    const double tick = 1 / 30.0;
    const Stretch stretches[] = {
        {"nothing due before the first frame", -1, 0.0, tick, 3, 0, 0, 0},
        {"the first frame at once and whole, then a pause", 0.0, 0.01, tick, 7, 1, 0, 0},
        {"the second: 0 to 1 over 0.22 s from its read, then a pause", 0.22, 0.01 + 7 * tick, tick, 14, 7, 0.1061, 1},
        {"the third; a caller 0.3 s late gets one frame, not a burst", 0.70, 1.0, 0.01, 3, 1, 1.625, 1.625},
        {"the rest of the way to the third, a pause while the doll is silent", -1, 1.05, tick, 60, 5, 1.7292, 2},
        {"the fourth, 2.29 s after the third, crossed in 0.5 s", 2.99, 3.05, tick, 20, 15, 2.12, 3},
    };
    LinkSchedule schedule;
    startLinkSchedule(schedule, 0.0);
    VmcFrame frame{}, sent;
    std::fill(frame.local, frame.local + vmcBoneCount, identityRotation);
    for (const Stretch& stretch : stretches) {
        SCOPED_TRACE(stretch.what);
        if (stretch.readAt >= 0) scheduleFrame(schedule, frame, stretch.readAt), frame.hips[0] += 1;
        int due = 0;
        double first = 0, last = 0;
        for (int call = 0; call < stretch.calls; ++call) {
            if (!dueFrame(schedule, stretch.firstCall + call * stretch.spacing, sent)) continue;
            first = due++ == 0 ? sent.hips[0] : first;
            last = sent.hips[0];
        }
        EXPECT_EQ(due, stretch.due);
        EXPECT_NEAR(first, stretch.first, 1e-4);
        EXPECT_NEAR(last, stretch.last, 1e-4);
    }
}
