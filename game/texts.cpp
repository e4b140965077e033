// The game's texts and rank titles, converted from UTF-8 on first use.
#include "texts.h"

#include "zqlib.h"

namespace gazumo {
namespace {

struct RankRow {
    int from;
    const char *title;
};

// Each range starts where the previous one ends; the last has no upper bound.
constexpr RankRow kRanks[13] = {
    {1, "殺人者"},          {100, "殺人鬼"},          {500, "ガズモ"},        {1000, "白き肥満"},
    {2000, "白い変態"},     {3000, "ガズモたち"},     {4000, "ホワイト・ハンター"}, {5000, "血塗られた牙"},
    {6000, "血塗られた脂肪"}, {7000, "脂肪死亡"},       {8000, "ガズモ様"},     {9000, "人類の脅威"},
    {10000, "グランド・オブ・ザ・ガズモ"},
};

GameTexts MakeTexts() {
    GameTexts t = {};
    Utf8ToShiftJis("ガズモ", t.title, sizeof t.title);
    Utf8ToShiftJis("Escキーで終了", t.quitHint, sizeof t.quitHint);
    Utf8ToShiftJis("最高殺人数 %d人", t.bestFormat, sizeof t.bestFormat);
    Utf8ToShiftJis("総合殺人数 %d人", t.totalFormat, sizeof t.totalFormat);
    Utf8ToShiftJis("%d人", t.scoreFormat, sizeof t.scoreFormat);
    Utf8ToShiftJis("HP %d", t.hitPointsFormat, sizeof t.hitPointsFormat);
    Utf8ToShiftJis("セーブデーターがありません", t.noSaveData, sizeof t.noSaveData);
    Utf8ToShiftJis("ゲームオーバー", t.gameOver, sizeof t.gameOver);
    Utf8ToShiftJis("人類は逃げ切りました", t.humansEscaped, sizeof t.humansEscaped);
    Utf8ToShiftJis("称号", t.rankLabel, sizeof t.rankLabel);
    Utf8ToShiftJis("人類の勝利", t.humansWon, sizeof t.humansWon);
    Utf8ToShiftJis("あなたは%d人食い殺しました。", t.eatenFormat, sizeof t.eatenFormat);
    for (int i = 0; i < 13; ++i) Utf8ToShiftJis(kRanks[i].title, t.ranks[i], sizeof t.ranks[i]);
    return t;
}

}  // namespace

const GameTexts &Texts() {
    static const GameTexts texts = MakeTexts();
    return texts;
}

const char *RankTitle(int score) {
    int rank = 0;
    while (rank + 1 < 13 && score >= kRanks[rank + 1].from) ++rank;
    return Texts().ranks[rank];
}

}  // namespace gazumo
