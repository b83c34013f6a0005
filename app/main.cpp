// Program entry: the application object does everything.
#include "app/application.h"

int main(int argc, char** argv) {
  tabulor::CTabulorApp app;
  return app.InitInstance(argc, argv);
}
