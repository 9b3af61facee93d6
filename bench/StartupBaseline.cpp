// The floor for the start-up benchmark: a bare Qt program that opens one dialog, started and
// watched the same way as the real program (scripts/bench-startup.sh).
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Startup Baseline"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("baseline"), &dialog));
    dialog.show();
    return QApplication::exec();
}
