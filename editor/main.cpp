// vovozodo-editor: makes a lesson from a recording and its transcript or
// subtitles, with the cuts shown and corrected by eye and ear.
#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    return 0;
}
