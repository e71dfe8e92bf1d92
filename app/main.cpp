// The kestrel executable: start-up options and, with no subcommand, the program.
#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return 0;
}
