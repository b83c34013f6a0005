// make_icons: renders the application icon (ui/app_icon.h) into the PNG sizes installed
// under share/icons/hicolor. Run by the build; needs no display.
// Usage: make_icons OUTDIR SIZE...   writes OUTDIR/<SIZE>x<SIZE>/tabulor.png
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "ui/app_icon.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_icons OUTDIR SIZE...\n");
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size <= 0 || size > 1024) {
      std::fprintf(stderr, "make_icons: bad size %s\n", argv[i]);
      return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/%1x%1").arg(size);
    const QString file = folder + QStringLiteral("/tabulor.png");
    if (!QDir().mkpath(folder) || !tabulor::applicationIconImage(size).save(file, "PNG")) {
      std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
