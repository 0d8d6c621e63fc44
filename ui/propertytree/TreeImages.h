#pragma once
// The tree's strip of 16 x 16 row images, drawn in code for this project.
// Fixed meanings that the pages rely on: 0/1 check box off/on, 4/5 the same
// disabled; the others are the category and row symbols the pages pick.

#include <QList>
#include <QPixmap>

constexpr int TreeImageCount = 48;

QList<QPixmap> const& TreeImages();
