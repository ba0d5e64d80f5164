#include "plot/qt/PlotTexts.h"

namespace zenta::plot {

const PlotTexts& PlotTexts::Get(bool english) {
    static const PlotTexts chinese{
        QStringLiteral("绘图"),
        QStringLiteral("暂停"),
        QStringLiteral("继续"),
        QStringLiteral("清除"),
        QStringLiteral("导出CSV"),
        QStringLiteral("导出PNG"),
        QStringLiteral("复位视图"),
        QStringLiteral("X: 时间(秒)"),
        QStringLiteral("X: 样本序号"),
        QStringLiteral("只看最近"),
        QStringLiteral(" 秒"),
        QStringLiteral("Y自动"),
        QStringLiteral("Y从"),
        QStringLiteral("到"),
        QStringLiteral("列%1"),
        QStringLiteral("时间(秒)"),
        QStringLiteral("样本序号"),
        QStringLiteral("已达上限 %2 点：最早的 %1 个点已丢弃"),
        QStringLiteral("正在保存：%1"),
        QStringLiteral("已保存：%1"),
        QStringLiteral("无法保存 %1：%2"),
        QStringLiteral("已暂停（仍在记录）"),
        QStringLiteral("勾选显示/隐藏，双击改颜色"),
        QStringLiteral("等待含数字的行…"),
    };
    static const PlotTexts englishTexts{
        QStringLiteral("Plot"),
        QStringLiteral("Pause"),
        QStringLiteral("Resume"),
        QStringLiteral("Clear"),
        QStringLiteral("Export CSV"),
        QStringLiteral("Export PNG"),
        QStringLiteral("Reset view"),
        QStringLiteral("X: time (s)"),
        QStringLiteral("X: sample number"),
        QStringLiteral("Last"),
        QStringLiteral(" s"),
        QStringLiteral("Auto Y"),
        QStringLiteral("Y from"),
        QStringLiteral("to"),
        QStringLiteral("Column %1"),
        QStringLiteral("Time (s)"),
        QStringLiteral("Sample number"),
        QStringLiteral("Limit of %2 points reached: the oldest %1 points were dropped"),
        QStringLiteral("Saving: %1"),
        QStringLiteral("Saved: %1"),
        QStringLiteral("Could not save %1: %2"),
        QStringLiteral("Paused (still recording)"),
        QStringLiteral("Tick to show or hide, double-click to change the colour"),
        QStringLiteral("Waiting for lines with numbers…"),
    };
    return english ? englishTexts : chinese;
}

}  // namespace zenta::plot
