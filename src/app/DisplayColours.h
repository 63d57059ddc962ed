#pragma once

// The two colour schemes of the main window. Every text is set against a
// background with which it keeps a contrast ratio of at least 4.5 (see
// base/ColourContrast.h): the indicators that are on are highlighted, as
// before, but in colours that pass on the scheme's background.

#include <QColor>

struct DisplayColours
{
    // The message box, the item list, the tree, the panel and the status row.
    QColor background;
    QColor text;
    // The selected item of the list (the program's selection colours) and the
    // unit of the message being spoken.
    QColor selection;
    QColor selectionText;
    // The current category or board of the tree.
    QColor treeCurrent;
    QColor treeCurrentText;
    // "Online": highlighted.
    QColor onlineText;
    QColor onlineBackground;
    // "Offline": dimmed, still readable.
    QColor offlineText;
    // "Speak" while speaking and "Download" while downloading.
    QColor activeText;
    QColor activeBackground;
    // The download progress bar.
    QColor progress;

    static DisplayColours standard()
    {
        return {.background = QColor(255, 255, 255),
                .text = QColor(0, 0, 0),
                .selection = QColor(192, 240, 255),
                .selectionText = QColor(0, 0, 0),
                .treeCurrent = QColor(255, 255, 0),
                .treeCurrentText = QColor(0, 0, 0),
                // Yellow letters do not show on white: a navy badge carries them.
                .onlineText = QColor(255, 255, 0),
                .onlineBackground = QColor(0, 0, 128),
                .offlineText = QColor(96, 96, 96),
                // Light green letters neither: black on light green.
                .activeText = QColor(0, 0, 0),
                .activeBackground = QColor(0, 255, 0),
                .progress = QColor(0, 0, 128)};
    }

    static DisplayColours lowVision()
    {
        return {.background = QColor(0, 0, 128),
                .text = QColor(255, 255, 255),
                .selection = QColor(0, 0, 255),
                .selectionText = QColor(255, 255, 0),
                .treeCurrent = QColor(0, 0, 255),
                .treeCurrentText = QColor(255, 255, 0),
                .onlineText = QColor(255, 255, 0),
                .onlineBackground = QColor(0, 0, 128),
                .offlineText = QColor(176, 176, 176),
                .activeText = QColor(0, 255, 0),
                .activeBackground = QColor(0, 0, 128),
                .progress = QColor(255, 255, 0)};
    }

    static DisplayColours of(bool lowVisionScheme) { return lowVisionScheme ? lowVision() : standard(); }
};
