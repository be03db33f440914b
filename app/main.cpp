#include "skywandtester.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    Skywandtester window;
    window.show();
    return application.exec();
}
