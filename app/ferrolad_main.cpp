// ferrolad: the desktop window.
#include <QApplication>

#include "ui/form_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Ferrolad");
  QApplication::setOrganizationName("Orvane");
  ferrolad::TFormMain window;
  window.show();
  return QApplication::exec();
}
