// The two "ジャンプ(&J)" menus of the entry window: which page each item shows.
// The intake menu is visible while an intake record is open, the assessment
// menu while an assessment is open. An item without a page does nothing.
#pragma once

#include <string_view>

namespace zelka {

struct EntryMenuItem {
  std::string_view id;       // "IDM_1", "IDM_AA", …
  std::string_view caption;  // as shown
  std::string_view page;     // page file in FORM/, "" for no action
};

inline constexpr std::string_view kEntryMenuCaption = "ジャンプ(&J)";

inline constexpr EntryMenuItem kIntakeMenu[] = {
    {"IDM_1", "Ⅰ.受付情報", "UKETUKE1.HTM"},
    {"IDM_2", "Ⅱ.相談内容と決定事項", "UKETUKE2.HTM"},
    {"IDM_3", "Ⅲ.基本情報", "UKETUKE3.HTM"},
    {"IDM_4", "Ⅳ.家族に関する情報", "UKETUKE4.HTM"},
    {"IDM_5", "Ⅴ.現在の状態およびサービス内容", "UKETUKE5.HTM"},
    {"IDM_6", "Ⅵ.住居環境", ""},
};

inline constexpr EntryMenuItem kAssessmentMenu[] = {
    {"IDM_AA", "AA.基本情報", "AA.HTM"},
    {"IDM_A", "A.アセスメント情報", "A.HTM"},
    {"IDM_B", "B.記憶", "B.HTM"},
    {"IDM_C", "C.コミュニケーション，聴覚", "C.HTM"},
    {"IDM_D", "D.視力", "D.HTM"},
    {"IDM_E", "E.気分と行動", "E.HTM"},
    {"IDM_F", "F.社会的機能", "F.HTM"},
    {"IDM_G", "G.インフォーマルな支援の状況", "G.HTM"},
    {"IDM_H", "H.IADL(過去7日間)とADL(過去3日間)", "H.HTM"},
    {"IDM_I", "I.排泄(過去7日間)", "I.HTM"},
    {"IDM_J", "J.疾患", "J.HTM"},
    {"IDM_K", "K.健康状態および予防", "K.HTM"},
    {"IDM_L", "L.栄養状態", "L.HTM"},
    {"IDM_M", "M.歯および口腔状態", "M.HTM"},
    {"IDM_N", "N.皮膚の状態", "N.HTM"},
    {"IDM_O", "O.環境評価", "O.HTM"},
    {"IDM_P", "P.治療方針の順守", "P.HTM"},
    {"IDM_Q", "Q.薬剤(過去7日間)", "Q.HTM"},
    {"IDM_R", "R.アセスメントへの参加", "R.HTM"},
    {"IDM_S", "S.薬物治療調査法", "S.HTM"},
};

}  // namespace zelka
