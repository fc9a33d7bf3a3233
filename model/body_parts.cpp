#include "model/body_parts.h"

namespace {

constexpr BodyPart part(const char* name, const char* label, std::uint8_t nodeAddress,
                        std::uint8_t parent, std::uint8_t mounting, std::uint8_t flags,
                        std::int32_t checkboxId) {
    BodyPart row{};
    for (int i = 0; name[i] != '\0' && i < 11; ++i) row.name[i] = name[i];
    for (int i = 0; label[i] != '\0' && i < 15; ++i) row.label[i] = label[i];
    row.nodeAddress = nodeAddress;
    row.parent = parent;
    row.mounting = mounting;
    row.flags = flags;
    row.checkboxId = checkboxId;
    return row;
}

}  // namespace

constexpr BodyPartTable initialBodyPartTable = {{
    part("hip", "腰部", 0x20, noParent, 0, 0, 107),
    part("waist", "ウエスト", 0, 0, 0, NoNode, 106),
    part("abdomen", "腹部", 0, 1, 0, NoNode, 105),
    part("chest", "胸", 0x30, 2, 0, 0, 104),
    part("neck", "首", 0, 3, 0, NoNode, 103),
    part("head", "頭部", 0x31, 4, 0, 0, 102),
    part("rCollar", "右肩", 0, 3, 0, NoNode, 108),
    part("rShldr", "右腕", 0x32, 6, 1, KeepPositiveSide, 109),
    part("rForeArm", "右前腕", 0x33, 7, 1, 0, 110),
    part("lCollar", "左肩", 0, 3, 0, NoNode, 111),
    part("lShldr", "左腕", 0x34, 9, 3, KeepNegativeSide, 112),
    part("lForeArm", "左前腕", 0x35, 10, 3, 0, 113),
    part("rButtock", "右臀部", 0, 0, 0, NoNode | LowerBody, 114),
    part("rThigh", "右大腿部", 0x36, 12, 2, LowerBody, 115),
    part("rShin", "右膝下", 0x37, 13, 2, LowerBody, 116),
    part("lButtock", "左臀部", 0, 0, 0, NoNode | LowerBody, 117),
    part("lThigh", "左大腿部", 0x38, 15, 2, LowerBody, 118),
    part("lShin", "左膝下", 0x39, 16, 2, LowerBody, 119),
}};

BodyPartTable bodyPartTable = initialBodyPartTable;
int currentPart;

void resetBodyPartTable() { bodyPartTable = initialBodyPartTable; }

void applyPartMask(std::uint32_t partMask) {
    for (BodyPart& row : bodyPartTable) {
        if (row.flags & NoNode) {
            row.selectable = partMask & 1;
            partMask >>= 1;
        } else {
            row.selectable = 1;
        }
    }
}
