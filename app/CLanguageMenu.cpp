#include "app/CLanguageMenu.h"

#include "app/CMessageBox.h"
#include "app/QtTranslations.h"
#include "i18n/CLocalise.h"
#include "i18n/Catalog.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/LanguageChoice.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

void AddLanguageMenu(QMainWindow* frame, std::function<void()> relocalise) {
    auto* view = frame->menuBar()->findChild<QMenu*>(QStringLiteral("menuView"));
    if (view == nullptr) {
        return;
    }
    auto* menu = new QMenu(view);
    menu->setObjectName(QStringLiteral("menuLanguage"));
    SetCatalogText(menu->menuAction(), msg::MenuLanguage);
    view->addSeparator();
    view->addMenu(menu);

    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    const std::pair<quint32, CatalogId> languages[] = {{Catalog::kEnglish, msg::LanguageEnglish},
                                                       {Catalog::kSimplifiedChinese, msg::LanguageChinese}};
    for (const auto& [language, text] : languages) {
        auto* action = new QAction(group);
        action->setObjectName(u"language_"_qs + LanguageChoice::nameOf(language));
        SetCatalogText(action, text);
        action->setCheckable(true);
        action->setData(language);
        menu->addAction(action);
    }
    // The ticks show the language the texts are in, whatever chose it (a marker file too).
    QObject::connect(menu, &QMenu::aboutToShow, menu, [group] {
        for (QAction* a : group->actions()) {
            a->setChecked(a->data().toUInt() == CatalogLanguageId());
        }
    });
    QObject::connect(group, &QActionGroup::triggered, frame, [frame, relocalise](QAction* action) {
        const quint32 language = action->data().toUInt();
        QSettings settings;
        LanguageChoice::remember(settings, language);
        if (language == CatalogLanguageId()) {
            return;
        }
        LanguageChoice::apply(language);
        QtTranslations::install(CatalogLanguageId());
        if (relocalise) {
            relocalise();
        }
        CMessageBox::show(frame, CatalogText(msg::LanguageChanged), CMessageBox::Icon::Information);
    });
}
