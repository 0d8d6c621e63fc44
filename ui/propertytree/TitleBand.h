#pragma once
// The band at the top of the full-window pages (the settings pages, the
// Console): the page's title in bold dark blue on one line, with a black
// one-pixel line under it. What lies below starts at TitleBandHeight + 1.

#include <QString>

class QWidget;

constexpr int TitleBandHeight = 24;

// Paints the band across widget; call it from the widget's paintEvent.
void DrawTitleBand(QWidget* widget, QString const& title);
