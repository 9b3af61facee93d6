#include "app/CFileDialogs.h"

#include <QFileDialog>

namespace {

class RealFileDialogs final : public CFileDialogs {
public:
    QString openFile(QWidget* parent, const Request& r) override {
        QFileDialog dialog(parent, r.title, r.initialPath, r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    }
    QString saveFile(QWidget* parent, const Request& r) override {
        QFileDialog dialog(parent, r.title, r.initialPath, r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(r.defaultSuffix);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    }
};

std::unique_ptr<CFileDialogs>& slot() {
    static std::unique_ptr<CFileDialogs> s = std::make_unique<RealFileDialogs>();
    return s;
}

} // namespace

CFileDialogs& CFileDialogs::instance() {
    return *slot();
}

void CFileDialogs::setInstanceForTesting(std::unique_ptr<CFileDialogs> dialogs) {
    slot() = dialogs ? std::move(dialogs) : std::make_unique<RealFileDialogs>();
}
