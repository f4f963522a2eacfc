// The CAP catalogue: the 33 entries in the order in which they are evaluated,
// stored in the slots of a CAP選定 row and exported as columns. A CAP number is
// text ("1", "2a", …, "30"); the name is what a slot's CAP種類 field holds.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "store/schema.h"  // kCapSlots, CapNumberColumn, CapNameColumn: the CAP選定 row

namespace zelka {

struct CapEntry {
  std::string_view number;
  std::string_view name;
};

inline constexpr int kCapCount = 33;

static_assert(kCapSlots >= kCapCount, "every catalogue entry needs a slot in CAP選定");

inline constexpr std::array<CapEntry, kCapCount> kCapCatalogue = {{
    {"1", "ADL/リハ"},
    {"2a", "IADL(改善)(A)"},
    {"2b", "IADL(支援)(B)"},
    {"3", "健康増進"},
    {"4", "施設入所のリスク"},
    {"5", "コミュニケーション"},
    {"6", "視覚"},
    {"7", "アルコール依存"},
    {"8", "認知"},
    {"9", "行動"},
    {"10", "うつと不安"},
    {"11", "高齢者の虐待"},
    {"12", "社会的機能"},
    {"13", "心肺の管理"},
    {"14", "脱水"},
    {"15", "転倒"},
    {"16", "栄養"},
    {"17", "口腔衛生"},
    {"18", "痛みの管理"},
    {"19", "褥瘡"},
    {"20", "皮膚と足の状態"},
    {"21", "順守"},
    {"22a", "もろい支援(主なし)(A)"},
    {"22b", "もろい支援(主あり)(B)"},
    {"23a", "薬剤(管理)(A)"},
    {"23b", "薬剤(副作用)(B)"},
    {"24", "緩和ケア"},
    {"25", "保健予防サービス"},
    {"26", "向精神薬"},
    {"27", "在宅サービス削減"},
    {"28", "環境評価"},
    {"29", "排便の管理"},
    {"30", "尿失禁と留置カテ"},
}};

// The catalogue position (0 to 32) of a CAP number, compared exactly
// (case-sensitive, no trimming); -1 when the catalogue has no such number.
int FindCap(std::string_view number);

}  // namespace zelka
