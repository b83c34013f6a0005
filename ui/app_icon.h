// The application icon: a small table sheet, drawn in code so the program needs no icon
// files at run time. The build renders the same drawing into the PNG icons it installs
// (data/make_icons.cpp); data/tabulor.svg is its scalable copy.
#pragma once

#include <QIcon>
#include <QImage>

namespace tabulor {

const QIcon& applicationIcon();

// The drawing at `size` x `size` pixels, on a transparent background.
QImage applicationIconImage(int size);

}  // namespace tabulor
