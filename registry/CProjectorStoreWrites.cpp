#include "registry/CProjectorStoreWrites.h"

#include "app/CMessageBox.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "registry/ProjectorStore.h"

bool CProjectorStoreWrites::saveProjectorList(QWidget* parent, ProjectorStore& store,
                                              const ProjectorList& list) {
    const IoResult r = store.saveProjectors(list);
    if (!r.ok()) {
        CMessageBox::show(parent,
                          CatalogText(msg::ProjectorListSaveFailed,
                                      {store.iniPath(), FileErrorReason::ofSystemText(r.detail)}),
                          CMessageBox::Icon::Stop);
    }
    showEncodingNotice(parent, store);
    return r.ok();
}

bool CProjectorStoreWrites::saveAuthSetting(QWidget* parent, ProjectorStore& store, const QString& password,
                                            int authOff) {
    const IoResult r = store.setAuthSetting(password, authOff);
    if (!r.ok()) {
        CMessageBox::show(parent,
                          CatalogText(msg::AuthSettingSaveFailed,
                                      {store.iniPath(), FileErrorReason::ofSystemText(r.detail)}),
                          CMessageBox::Icon::Stop);
    }
    showEncodingNotice(parent, store);
    return r.ok();
}

// The store hands the text out once, the first time a write leaves the file's code page.
void CProjectorStoreWrites::showEncodingNotice(QWidget* parent, ProjectorStore& store) {
    if (const QString notice = store.takeEncodingNotice(); !notice.isEmpty()) {
        CMessageBox::show(parent, notice, CMessageBox::Icon::Warning);
    }
}
