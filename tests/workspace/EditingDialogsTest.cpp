#include "support/DialogDriver.h"

#include "i18n/CatalogIds.h"
#include "i18n/ImagingTextTable.h"
#include "imaging/PictureOps.h"
#include "imaging/SendableImage.h"
#include "imaging/VipsRuntime.h"
#include "support/CatalogFixture.h"
#include "workspace/CColourResolutionDlg.h"
#include "workspace/CFitResultDlg.h"
#include "workspace/CPictureImage.h"
#include "workspace/CResizeDlg.h"
#include "workspace/CSaturationDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <deque>
#include <type_traits>

namespace {

using vips::VImage;

VImage asRgb(const VImage& image) {
    return image.cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .copy_memory();
}

// Red rising to the right, green downwards, blue against both: every pixel has colour, so
// a saturation change shows everywhere.
Picture gradientPicture(int width, int height) {
    EXPECT_TRUE(VipsRuntime::ensure());
    const VImage xy = VImage::xyz(width, height);
    const VImage r = xy[0] * (255.0 / width);
    const VImage g = xy[1] * (255.0 / height);
    const VImage b = (r + g) * -0.5 + 255.0;
    return Picture(asRgb(r.bandjoin(g).bandjoin(b)));
}

Picture noisePicture(int width, int height) {
    EXPECT_TRUE(VipsRuntime::ensure());
    auto band = [&](double mean) {
        return VImage::gaussnoise(width, height, VImage::option()->set("mean", mean)->set("sigma", 40.0));
    };
    return Picture(asRgb(band(90).bandjoin(band(140)).bandjoin(band(200))));
}

Picture flatPicture(int width, int height) {
    EXPECT_TRUE(VipsRuntime::ensure());
    return Picture(asRgb(VImage::black(width, height, VImage::option()->set("bands", 3)) +
                         std::vector<double>{30, 120, 200}));
}

// The mean of max - min over the channels, a crude but monotonic measure of colourfulness.
double meanChroma(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            sum += std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
        }
    }
    return sum / (image.width() * image.height());
}

QImage shownImage(QWidget& dialog, const char* name) {
    QLabel* label = Child<QLabel>(dialog, name);
    return label != nullptr ? label->pixmap().toImage().convertToFormat(QImage::Format_RGB888) : QImage();
}

template <typename W> QString textOf(QWidget& dialog, const char* name) {
    W* w = Child<W>(dialog, name);
    if (w == nullptr) {
        return {};
    }
    if constexpr (std::is_same_v<W, QGroupBox>) {
        return w->title();
    } else {
        return w->text();
    }
}

// Every label and button of a shown dialog is at least as wide as its text needs.
void ExpectNothingClipped(QDialog& dialog) {
    dialog.show();
    dialog.adjustSize();
    QApplication::processEvents();
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->isVisible() && !label->wordWrap() && !label->text().isEmpty()) {
            EXPECT_GE(label->width(), label->minimumSizeHint().width()) << label->objectName().toStdString();
        }
    }
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->isVisible()) {
            EXPECT_GE(button->width(), button->minimumSizeHint().width())
                << button->objectName().toStdString();
        }
    }
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        if (!box->title().isEmpty()) {
            EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->title()))
                << box->objectName().toStdString();
        }
    }
    // For a look by eye: TESSAVEL_DIALOG_SHOTS=/some/dir writes each rendering there.
    const QString dir = qEnvironmentVariable("TESSAVEL_DIALOG_SHOTS");
    if (!dir.isEmpty()) {
        const QString lang = SystemLanguageId() == Catalog::kSimplifiedChinese ? u"zh"_qs : u"en"_qs;
        dialog.grab().save(QDir(dir).filePath(dialog.objectName() + u"-"_qs + lang + u".png"_qs));
    }
    dialog.hide();
}

ImagingTextStore shippedTexts() {
    ImagingTextStore store;
    FillImagingDialogTexts(store);
    return store;
}

// ---------------------------------------------------------------------------------------
// Resize

TEST(ResizeDlgTest, StartsFromTheSourceAndConfirmsWithOk) {
    Picture source = gradientPicture(400, 300);
    source.setResolution(72, 150);
    const ImagingTextStore texts;
    CResizeDlg d(source, texts);
    EXPECT_EQ(d.width(), 400);
    EXPECT_EQ(d.height(), 300);
    EXPECT_EQ(d.xResolution(), 72);
    EXPECT_EQ(d.yResolution(), 150);
    EXPECT_TRUE(d.keepAspectRatio());
    EXPECT_EQ(d.flags(), PictureOps::kResizeBicubic);
    EXPECT_EQ(textOf<QLabel>(d, "currentWidthValue"), u"400 Pixels");
    EXPECT_EQ(textOf<QLabel>(d, "currentHeightValue"), u"300 Pixels");
    EXPECT_EQ(textOf<QLabel>(d, "currentXDpiValue"), u"72");
    EXPECT_EQ(textOf<QLabel>(d, "currentYDpiValue"), u"150");
    EXPECT_EQ(textOf<QLabel>(d, "currentBitsValue"), u"24");
    EXPECT_NE(d.resultStatus(), CResizeDlg::kConfirmed);

    const int r = ExecWith(d, [&] {
        Child<QSpinBox>(d, "widthSpin")->setValue(100);
        Child<QSpinBox>(d, "xDpiSpin")->setValue(300);
        Child<QSpinBox>(d, "yDpiSpin")->setValue(200);
        Click(d, "okButton");
    });
    EXPECT_EQ(r, 100);
    EXPECT_EQ(d.resultStatus(), 100);
    EXPECT_EQ(d.width(), 100);
    EXPECT_EQ(d.height(), 75);
    EXPECT_EQ(d.xResolution(), 300);
    EXPECT_EQ(d.yResolution(), 200);
}

TEST(ResizeDlgTest, KeepAspectRatioFollowsTheSourceShape) {
    const ImagingTextStore texts;
    CResizeDlg d(gradientPicture(400, 300), texts);
    auto* w = Child<QSpinBox>(d, "widthSpin");
    auto* h = Child<QSpinBox>(d, "heightSpin");
    w->setValue(200);
    EXPECT_EQ(h->value(), 150);
    h->setValue(60);
    EXPECT_EQ(w->value(), 80);
    w->setValue(333); // 249.75 rounds to 250
    EXPECT_EQ(h->value(), 250);
    // Typed digit by digit, as a user does: each step keeps the ratio of the source, not of
    // the previous step, so rounding does not creep.
    w->selectAll();
    QTest::keyClicks(w, u"401"_qs);
    EXPECT_EQ(w->value(), 401);
    EXPECT_EQ(h->value(), 301);

    Child<QCheckBox>(d, "keepAspectCheck")->setChecked(false);
    w->setValue(500);
    EXPECT_EQ(h->value(), 301) << "free sizes stay as typed";
    h->setValue(20);
    EXPECT_EQ(w->value(), 500);
    EXPECT_FALSE(d.keepAspectRatio());
    Child<QCheckBox>(d, "keepAspectCheck")->setChecked(true);
    EXPECT_EQ(h->value(), 375) << "turning it back on reshapes from the width";

    // A thin picture never asks for zero rows.
    CResizeDlg thin(gradientPicture(1000, 2), texts);
    Child<QSpinBox>(thin, "widthSpin")->setValue(10);
    EXPECT_EQ(thin.height(), 1);
}

TEST(ResizeDlgTest, MethodsGiveTheirKernelFlags) {
    const ImagingTextStore texts;
    const Picture source = gradientPicture(64, 48);
    CResizeDlg d(source, texts);
    auto* favour = Child<QCheckBox>(d, "favourBlackCheck");
    EXPECT_FALSE(favour->isEnabled()) << "only pixel replication can favour black";

    Click(d, "nearestRadio");
    EXPECT_EQ(d.flags(), PictureOps::kResizeNormal);
    EXPECT_TRUE(favour->isEnabled());
    favour->setChecked(true);
    EXPECT_EQ(d.flags(), PictureOps::kResizeFavourBlack);
    Click(d, "bilinearRadio");
    EXPECT_EQ(d.flags(), PictureOps::kResizeBilinear);
    EXPECT_FALSE(favour->isEnabled());
    Click(d, "bicubicRadio");
    EXPECT_EQ(d.flags(), PictureOps::kResizeBicubic);
    Click(d, "lanczosRadio");
    EXPECT_EQ(d.flags(), PictureOps::kResizeLanczos);

    // Whatever the dialog hands out, the resize accepts and carries out.
    for (const char* radio : {"nearestRadio", "bilinearRadio", "bicubicRadio", "lanczosRadio"}) {
        Click(d, radio);
        Child<QSpinBox>(d, "widthSpin")->setValue(32);
        Picture p = source;
        ASSERT_TRUE(PictureOps::resize(p, d.width(), d.height(), d.flags()).ok()) << radio;
        EXPECT_EQ(p.width(), 32);
        EXPECT_EQ(p.height(), 24);
    }
}

TEST(ResizeDlgTest, CancelAndEscapeConfirmNothing) {
    const ImagingTextStore texts;
    CResizeDlg d(gradientPicture(40, 30), texts);
    int r = ExecWith(d, [&] {
        Child<QSpinBox>(d, "widthSpin")->setValue(20);
        Click(d, "cancelButton");
    });
    EXPECT_NE(r, 100);
    EXPECT_NE(d.resultStatus(), 100);

    CResizeDlg e(gradientPicture(40, 30), texts);
    r = ExecWith(e, [&] { QTest::keyClick(&e, Qt::Key_Escape); });
    EXPECT_NE(r, 100);
    EXPECT_NE(e.resultStatus(), 100);
}

TEST(ResizeDlgTest, ASizeBeyondThePixelLimitCannotBeConfirmed) {
    const ImagingTextStore texts;
    CResizeDlg d(gradientPicture(40, 30), texts);
    const int r = ExecWith(d, [&] {
        Child<QCheckBox>(d, "keepAspectCheck")->setChecked(false);
        Child<QSpinBox>(d, "widthSpin")->setValue(20000);
        Child<QSpinBox>(d, "heightSpin")->setValue(20000);
        EXPECT_FALSE(Child<QPushButton>(d, "okButton")->isEnabled());
        QTest::keyClick(Child<QSpinBox>(d, "heightSpin"), Qt::Key_Return);
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible()) << "neither Enter nor OK gets a refused size through";
        Child<QSpinBox>(d, "heightSpin")->setValue(5000);
        EXPECT_TRUE(Child<QPushButton>(d, "okButton")->isEnabled());
        Click(d, "okButton");
    });
    EXPECT_EQ(r, 100);
    EXPECT_EQ(d.width(), 20000);
    EXPECT_EQ(d.height(), 5000);
    EXPECT_EQ(Child<QSpinBox>(d, "widthSpin")->maximum(), CResizeDlg::kMaxSide);
    EXPECT_EQ(Child<QSpinBox>(d, "widthSpin")->minimum(), 1);
}

TEST(ResizeDlgTest, LabelsComeFromTheImagingTextStore) {
    const ShippedCatalog catalog;
    const ImagingTextStore texts = shippedTexts();
    CResizeDlg d(gradientPicture(40, 30), texts);
    EXPECT_EQ(d.windowTitle(), CatalogText(9, 172));
    EXPECT_EQ(textOf<QGroupBox>(d, "currentGroup"), CatalogText(9, 173));
    EXPECT_EQ(textOf<QGroupBox>(d, "newSizeGroup"), CatalogText(9, 180));
    EXPECT_EQ(textOf<QLabel>(d, "widthLabel"), CatalogText(9, 174));
    EXPECT_EQ(textOf<QLabel>(d, "heightLabel"), CatalogText(9, 175));
    EXPECT_EQ(textOf<QLabel>(d, "widthUnitLabel"), CatalogText(9, 176));
    EXPECT_EQ(textOf<QLabel>(d, "xDpiLabel"), CatalogText(9, 178));
    EXPECT_EQ(textOf<QLabel>(d, "currentYDpiLabel"), CatalogText(9, 179));
    EXPECT_EQ(textOf<QCheckBox>(d, "keepAspectCheck"), CatalogText(9, 181));
    EXPECT_EQ(textOf<QGroupBox>(d, "resamplingGroup"), CatalogText(9, 182));
    EXPECT_EQ(textOf<QRadioButton>(d, "nearestRadio"), CatalogText(9, 183));
    EXPECT_EQ(textOf<QRadioButton>(d, "lanczosRadio"), CatalogText(9, 186));
    EXPECT_EQ(textOf<QPushButton>(d, "okButton"), CatalogText(9, 302));
    EXPECT_EQ(textOf<QPushButton>(d, "cancelButton"), CatalogText(7, 10));
    EXPECT_EQ(d.windowTitle(), u"Resize") << "the shipped English text itself";
    ExpectNothingClipped(d);
}

TEST(ResizeDlgTest, EmptyStoreGivesTheEnglishFallbacks) {
    const ImagingTextStore empty;
    CResizeDlg d(gradientPicture(40, 30), empty);
    EXPECT_EQ(d.windowTitle(), u"Resize");
    EXPECT_EQ(textOf<QGroupBox>(d, "currentGroup"), u"Current size");
    EXPECT_EQ(textOf<QLabel>(d, "widthLabel"), u"Width");
    EXPECT_EQ(textOf<QCheckBox>(d, "keepAspectCheck"), u"Keep aspect ratio");
    EXPECT_EQ(textOf<QRadioButton>(d, "bicubicRadio"), u"Bicubic");
    EXPECT_EQ(textOf<QPushButton>(d, "okButton"), u"OK");
    EXPECT_EQ(textOf<QPushButton>(d, "cancelButton"), u"Cancel");
}

TEST(ResizeDlgTest, ChineseTextsFitTheirControls) {
    const ShippedCatalog catalog(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    const ImagingTextStore texts = shippedTexts();
    CResizeDlg d(gradientPicture(640, 480), texts);
    EXPECT_EQ(d.windowTitle(), u"调整尺寸");
    EXPECT_EQ(textOf<QCheckBox>(d, "keepAspectCheck"), u"保持纵横比");
    ExpectNothingClipped(d);
}

// ---------------------------------------------------------------------------------------
// Saturation

bool waitForPreview(const CSaturationDlg& d, int value) {
    return QTest::qWaitFor([&] { return d.previewValue() == value; }, 30000);
}

TEST(SaturationDlgTest, PreviewFollowsTheSliderAndStaysTheOriginalAtZero) {
    const ImagingTextStore texts;
    CSaturationDlg d(gradientPicture(400, 300), texts);
    auto* slider = Child<QSlider>(d, "saturationSlider");
    EXPECT_EQ(slider->minimum(), PictureOps::kSaturationMin);
    EXPECT_EQ(slider->maximum(), PictureOps::kSaturationMax);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(d.value(), 0);

    const QImage before = shownImage(d, "beforeImage");
    ASSERT_FALSE(before.isNull());
    EXPECT_LE(before.width(), CSaturationDlg::kPreviewWidth);
    EXPECT_LE(before.height(), CSaturationDlg::kPreviewHeight);
    EXPECT_EQ(before.size(), QSize(240, 180));
    EXPECT_EQ(shownImage(d, "afterImage"), before);

    slider->setValue(800);
    EXPECT_EQ(Child<QSpinBox>(d, "saturationSpin")->value(), 800);
    ASSERT_TRUE(waitForPreview(d, 800));
    const QImage more = shownImage(d, "afterImage");
    EXPECT_NE(more, before);
    EXPECT_GT(meanChroma(more), meanChroma(before) + 5);
    EXPECT_EQ(shownImage(d, "beforeImage"), before) << "the before side never changes";

    slider->setValue(-1000);
    ASSERT_TRUE(waitForPreview(d, -1000));
    EXPECT_LT(meanChroma(shownImage(d, "afterImage")), 2.0) << "the least saturation is grey";

    slider->setValue(0);
    ASSERT_TRUE(waitForPreview(d, 0));
    EXPECT_EQ(shownImage(d, "afterImage"), before) << "back at 0 the preview is the original again";

    // The preview is the operation the caller will run, on the thumbnail.
    slider->setValue(-400);
    ASSERT_TRUE(waitForPreview(d, -400));
    Picture thumb = CPictureImage::thumbnail(gradientPicture(400, 300), 240, 180);
    ASSERT_TRUE(PictureOps::saturation(thumb, -400).ok());
    EXPECT_EQ(shownImage(d, "afterImage"),
              CPictureImage::toQImage(thumb).convertToFormat(QImage::Format_RGB888));
}

TEST(SaturationDlgTest, DraggingIsDebounced) {
    const ImagingTextStore texts;
    CSaturationDlg d(gradientPicture(200, 150), texts);
    auto* slider = Child<QSlider>(d, "saturationSlider");
    for (int v = 50; v <= 500; v += 50) {
        slider->setValue(v);
    }
    EXPECT_EQ(d.previewValue(), 0) << "no preview while the slider is still moving";
    ASSERT_TRUE(waitForPreview(d, 500));
}

TEST(SaturationDlgTest, WithoutAutomaticPreviewThePreviewButtonUpdates) {
    const ImagingTextStore texts;
    CSaturationDlg d(gradientPicture(200, 150), texts);
    auto* preview = Child<QPushButton>(d, "previewButton");
    EXPECT_FALSE(preview->isEnabled());
    Child<QCheckBox>(d, "autoPreviewCheck")->setChecked(false);
    EXPECT_TRUE(preview->isEnabled());
    Child<QSpinBox>(d, "saturationSpin")->setValue(600);
    EXPECT_EQ(Child<QSlider>(d, "saturationSlider")->value(), 600);
    QTest::qWait(CSaturationDlg::kPreviewDelayMs * 4);
    EXPECT_EQ(d.previewValue(), 0);
    Click(d, "previewButton");
    EXPECT_EQ(d.previewValue(), 600);
    EXPECT_NE(shownImage(d, "afterImage"), shownImage(d, "beforeImage"));
}

TEST(SaturationDlgTest, OkHandsOutTheValueResetAndCancelDoNot) {
    const ImagingTextStore texts;
    CSaturationDlg d(gradientPicture(80, 60), texts);
    int r = ExecWith(d, [&] {
        Child<QSpinBox>(d, "saturationSpin")->setValue(-250);
        Click(d, "okButton");
    });
    EXPECT_EQ(r, 100);
    EXPECT_EQ(d.resultStatus(), 100);
    EXPECT_EQ(d.value(), -250);

    CSaturationDlg e(gradientPicture(80, 60), texts);
    r = ExecWith(e, [&] {
        Child<QSlider>(e, "saturationSlider")->setValue(700);
        Click(e, "resetButton");
        EXPECT_EQ(e.value(), 0);
        EXPECT_EQ(Child<QSlider>(e, "saturationSlider")->value(), 0);
        Child<QSlider>(e, "saturationSlider")->setValue(300);
        Click(e, "cancelButton");
    });
    EXPECT_NE(r, 100);
    EXPECT_NE(e.resultStatus(), 100);
}

TEST(SaturationDlgTest, AnIndexedPictureHasAPreviewToo) {
    const ImagingTextStore texts;
    Picture indexed = gradientPicture(120, 90);
    ColourResolution request;
    request.bits = 4;
    request.palette = PaletteOption::Fixed;
    ASSERT_TRUE(PictureOps::colourResolution(indexed, request).ok());
    CSaturationDlg d(indexed, texts);
    EXPECT_EQ(shownImage(d, "beforeImage").size(), QSize(120, 90)) << "a small picture is shown as it is";
    Child<QSlider>(d, "saturationSlider")->setValue(-1000);
    ASSERT_TRUE(waitForPreview(d, -1000));
    EXPECT_NE(shownImage(d, "afterImage"), shownImage(d, "beforeImage"));
}

TEST(SaturationDlgTest, ALargePictureIsReducedWhileEventsKeepFlowing) {
    const ImagingTextStore texts;
    const Picture large = gradientPicture(2400, 1800);
    bool eventsRan = false;
    QTimer::singleShot(0, [&] { eventsRan = true; });
    CSaturationDlg d(large, texts);
    EXPECT_FALSE(eventsRan) << "the dialog runs no event loop of its own while the copy is made";
    EXPECT_FALSE(d.previewReady()) << "the copy of a large picture arrives through the event loop";
    // The slider may move before the copy is there; the preview follows it once it is.
    Child<QSlider>(d, "saturationSlider")->setValue(-1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.previewReady(); }, 20000));
    EXPECT_TRUE(eventsRan);
    EXPECT_EQ(d.originalImage().size(), QSize(240, 180));
    EXPECT_EQ(shownImage(d, "beforeImage").size(), QSize(240, 180));
    ASSERT_TRUE(waitForPreview(d, -1000));
    EXPECT_LT(meanChroma(shownImage(d, "afterImage")), 2.0);

    bool smallRan = false;
    QTimer::singleShot(0, [&] { smallRan = true; });
    CSaturationDlg small(gradientPicture(400, 300), texts);
    EXPECT_FALSE(smallRan) << "a small picture needs no detour";
    EXPECT_TRUE(small.previewReady());
    QApplication::processEvents();
    EXPECT_TRUE(smallRan);
}

TEST(SaturationDlgTest, LabelsComeFromTheImagingTextStore) {
    const ShippedCatalog catalog;
    const ImagingTextStore texts = shippedTexts();
    CSaturationDlg d(gradientPicture(40, 30), texts);
    EXPECT_EQ(d.windowTitle(), CatalogText(9, 187));
    EXPECT_EQ(textOf<QLabel>(d, "saturationLabel"), CatalogText(9, 188));
    EXPECT_EQ(textOf<QLabel>(d, "valueLabel"), CatalogText(9, 194));
    EXPECT_EQ(textOf<QLabel>(d, "lessLabel"), CatalogText(9, 195));
    EXPECT_EQ(textOf<QLabel>(d, "moreLabel"), CatalogText(9, 196));
    EXPECT_EQ(textOf<QLabel>(d, "beforeLabel"), CatalogText(9, 197));
    EXPECT_EQ(textOf<QLabel>(d, "afterLabel"), CatalogText(9, 198));
    EXPECT_EQ(textOf<QCheckBox>(d, "autoPreviewCheck"), CatalogText(9, 199));
    EXPECT_EQ(textOf<QPushButton>(d, "resetButton"), CatalogText(9, 190));
    EXPECT_EQ(textOf<QPushButton>(d, "previewButton"), CatalogText(9, 191));
    EXPECT_EQ(textOf<QPushButton>(d, "okButton"), CatalogText(9, 302));
    EXPECT_EQ(textOf<QPushButton>(d, "cancelButton"), CatalogText(7, 10));
    ExpectNothingClipped(d);
}

TEST(SaturationDlgTest, EmptyStoreGivesTheEnglishFallbacks) {
    const ImagingTextStore empty;
    CSaturationDlg d(gradientPicture(40, 30), empty);
    EXPECT_EQ(d.windowTitle(), u"Color Saturation");
    EXPECT_EQ(textOf<QLabel>(d, "saturationLabel"), u"Saturation");
    EXPECT_EQ(textOf<QLabel>(d, "beforeLabel"), u"Before");
    EXPECT_EQ(textOf<QPushButton>(d, "resetButton"), u"Reset");
}

TEST(SaturationDlgTest, ChineseTextsFitTheirControls) {
    const ShippedCatalog catalog(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    const ImagingTextStore texts = shippedTexts();
    CSaturationDlg d(gradientPicture(640, 480), texts);
    EXPECT_EQ(d.windowTitle(), u"色彩饱和度");
    ExpectNothingClipped(d);
}

// ---------------------------------------------------------------------------------------
// Colour resolution

// Answers the colour chooser with queued colours; an empty queue gives up.
struct ScriptedColours {
    std::deque<QColor> answers;
    QList<QColor> initials;
    void install(CColourResolutionDlg& d) {
        d.setColourPicker([this](QWidget*, const QColor& initial, const QString&) {
            initials << initial;
            if (answers.empty()) {
                return QColor();
            }
            const QColor c = answers.front();
            answers.pop_front();
            return c;
        });
    }
};

TEST(ColourResolutionDlgTest, DefaultsAndOk) {
    const ImagingTextStore texts;
    CColourResolutionDlg d(gradientPicture(64, 48), texts);
    const ColourResolution r0 = d.request();
    EXPECT_EQ(r0.bits, 8);
    EXPECT_EQ(r0.palette, PaletteOption::Optimised);
    EXPECT_EQ(r0.dither, DitherOption::FloydSteinberg);
    EXPECT_EQ(r0.colours, 256);
    EXPECT_TRUE(r0.userPalette.isEmpty());
    EXPECT_TRUE(Child<QSpinBox>(d, "colourCountSpin")->isEnabled());
    EXPECT_FALSE(Child<QGroupBox>(d, "userPaletteGroup")->isEnabled());

    const int r = ExecWith(d, [&] {
        Child<QSpinBox>(d, "colourCountSpin")->setValue(40);
        Click(d, "orderedRadio");
        Click(d, "okButton");
    });
    EXPECT_EQ(r, 100);
    EXPECT_EQ(d.resultStatus(), 100);
    EXPECT_EQ(d.request().colours, 40);
    EXPECT_EQ(d.request().dither, DitherOption::Ordered);

    CColourResolutionDlg c(gradientPicture(64, 48), texts, 4);
    EXPECT_EQ(c.bits(), 4) << "the preset depth";
    EXPECT_NE(ExecWith(c, [&] { Click(c, "cancelButton"); }), 100);
    EXPECT_NE(c.resultStatus(), 100);
}

TEST(ColourResolutionDlgTest, EveryOptionReachesTheRequestAndTheOperationAcceptsIt) {
    const ImagingTextStore texts;
    const Picture source = gradientPicture(64, 48);
    struct Case {
        const char* radio;
        PaletteOption option;
    };
    const Case cases[] = {{"optimisedRadio", PaletteOption::Optimised},
                          {"fixedRadio", PaletteOption::Fixed},
                          {"uniformRadio", PaletteOption::Uniform},
                          {"webRadio", PaletteOption::Web},
                          {"greyscaleRadio", PaletteOption::Greyscale}};
    const std::pair<const char*, DitherOption> dithers[] = {
        {"noDitherRadio", DitherOption::None},
        {"floydSteinbergRadio", DitherOption::FloydSteinberg},
        {"orderedRadio", DitherOption::Ordered}};
    for (const auto& [bitsRadio, bits] : {std::pair{"bits1Radio", 1}, std::pair{"bits2Radio", 2},
                                          std::pair{"bits4Radio", 4}, std::pair{"bits8Radio", 8}}) {
        for (const Case& c : cases) {
            for (const auto& [ditherRadio, dither] : dithers) {
                CColourResolutionDlg d(source, texts);
                Click(d, bitsRadio);
                Click(d, c.radio);
                Click(d, ditherRadio);
                const ColourResolution req = d.request();
                EXPECT_EQ(req.bits, bits);
                const PaletteOption expected =
                    c.option == PaletteOption::Web && bits != 8 ? PaletteOption::Optimised : c.option;
                EXPECT_EQ(req.palette, expected) << bitsRadio << " " << c.radio;
                EXPECT_EQ(req.dither, dither);
                EXPECT_EQ(req.colours, expected == PaletteOption::Optimised ? (1 << bits) : 0);
                ASSERT_TRUE(Child<QPushButton>(d, "okButton")->isEnabled());
                Picture p = source;
                const ImagingResult result = PictureOps::colourResolution(p, req);
                EXPECT_TRUE(result.ok()) << bitsRadio << " " << c.radio << " " << ditherRadio << ": "
                                         << result.detail.toStdString();
                EXPECT_EQ(p.bitsPerPixel(), bits);
                EXPECT_LE(p.palette().size(), 1 << bits);
            }
        }
    }
}

TEST(ColourResolutionDlgTest, WebPaletteOnlyWithEightBits) {
    const ImagingTextStore texts;
    CColourResolutionDlg d(gradientPicture(64, 48), texts);
    auto* web = Child<QRadioButton>(d, "webRadio");
    EXPECT_TRUE(web->isEnabled());
    Click(d, "webRadio");
    EXPECT_EQ(d.paletteOption(), PaletteOption::Web);
    Click(d, "bits4Radio");
    EXPECT_FALSE(web->isEnabled());
    EXPECT_EQ(d.paletteOption(), PaletteOption::Optimised) << "a web palette cannot be kept at 4 bits";
    EXPECT_TRUE(Child<QPushButton>(d, "okButton")->isEnabled());
    Click(d, "bits8Radio");
    EXPECT_TRUE(web->isEnabled());
}

TEST(ColourResolutionDlgTest, ColourCountRangeFollowsTheDepthAndAppliesToOptimisedOnly) {
    const ImagingTextStore texts;
    CColourResolutionDlg d(gradientPicture(64, 48), texts);
    auto* count = Child<QSpinBox>(d, "colourCountSpin");
    EXPECT_EQ(count->minimum(), 2);
    EXPECT_EQ(count->maximum(), 256);
    Click(d, "bits4Radio");
    EXPECT_EQ(count->maximum(), 16);
    EXPECT_EQ(count->value(), 16);
    count->setValue(5);
    EXPECT_EQ(d.request().colours, 5);
    Click(d, "bits1Radio");
    EXPECT_EQ(count->maximum(), 2);
    Click(d, "fixedRadio");
    EXPECT_FALSE(count->isEnabled());
    EXPECT_EQ(d.request().colours, 0);

    Click(d, "bits24Radio");
    EXPECT_FALSE(Child<QGroupBox>(d, "paletteGroup")->isEnabled());
    EXPECT_FALSE(Child<QGroupBox>(d, "ditherGroup")->isEnabled());
    EXPECT_FALSE(count->isEnabled());
    EXPECT_EQ(d.request().bits, 24);
    EXPECT_EQ(d.colourCount(), 0) << "no palette entries to copy at true colour";
    EXPECT_TRUE(Child<QPushButton>(d, "okButton")->isEnabled());
}

TEST(ColourResolutionDlgTest, UserPaletteNeedsColoursAndAtMostTwoToTheBits) {
    const ImagingTextStore texts;
    CColourResolutionDlg d(gradientPicture(64, 48), texts);
    ScriptedColours colours;
    colours.install(d);
    auto* ok = Child<QPushButton>(d, "okButton");
    auto* add = Child<QPushButton>(d, "addColourButton");
    auto* list = Child<QListWidget>(d, "userPaletteList");

    const int r = ExecWith(d, [&] {
        Click(d, "userRadio");
        EXPECT_TRUE(Child<QGroupBox>(d, "userPaletteGroup")->isEnabled());
        EXPECT_FALSE(ok->isEnabled()) << "a user palette with no colours";
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible());

        Click(d, "addColourButton"); // the chooser gives up: nothing added
        EXPECT_EQ(list->count(), 0);
        colours.answers = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(10, 200, 30)};
        Click(d, "addColourButton");
        Click(d, "addColourButton");
        EXPECT_EQ(list->count(), 2);
        EXPECT_TRUE(ok->isEnabled());
        EXPECT_EQ(textOf<QLabel>(d, "coloursInUseValue"), u"2 / 256");

        Click(d, "bits1Radio");
        EXPECT_EQ(textOf<QLabel>(d, "coloursInUseValue"), u"2 / 2");
        EXPECT_FALSE(add->isEnabled()) << "1 bit holds two colours";
        Click(d, "bits2Radio");
        Click(d, "addColourButton");
        EXPECT_EQ(list->count(), 3);
        Click(d, "bits1Radio");
        EXPECT_FALSE(ok->isEnabled()) << "three colours do not fit 1 bit";

        list->setCurrentRow(1, QItemSelectionModel::ClearAndSelect); // the blue one
        Click(d, "removeColourButton");
        EXPECT_EQ(list->count(), 2);
        EXPECT_TRUE(ok->isEnabled());
        Click(d, "okButton");
    });
    EXPECT_EQ(r, 100);
    const ColourResolution req = d.request();
    EXPECT_EQ(req.bits, 1);
    EXPECT_EQ(req.palette, PaletteOption::User);
    EXPECT_EQ(req.colours, 2);
    EXPECT_EQ(req.userPalette, Palette({{255, 0, 0}, {10, 200, 30}}));

    // The operation takes exactly these colours.
    Picture p = gradientPicture(64, 48);
    ASSERT_TRUE(PictureOps::colourResolution(p, req).ok());
    EXPECT_EQ(p.palette(), req.userPalette);
    EXPECT_EQ(p.bitsPerPixel(), 1);
}

TEST(ColourResolutionDlgTest, EditingASwatchChangesItsColour) {
    const ImagingTextStore texts;
    Picture indexed = gradientPicture(64, 48);
    ColourResolution fixed;
    fixed.bits = 2;
    fixed.palette = PaletteOption::Greyscale;
    ASSERT_TRUE(PictureOps::colourResolution(indexed, fixed).ok());
    CColourResolutionDlg d(indexed, texts);
    ScriptedColours colours;
    colours.install(d);
    auto* list = Child<QListWidget>(d, "userPaletteList");
    EXPECT_EQ(list->count(), 4) << "an indexed picture lends its palette";
    Click(d, "userRadio");
    EXPECT_EQ(d.userPalette(), Palette::greyscale(2));

    list->setCurrentRow(2, QItemSelectionModel::ClearAndSelect);
    colours.answers = {QColor(1, 2, 3)};
    Click(d, "editColourButton");
    ASSERT_EQ(colours.initials.size(), 1);
    EXPECT_EQ(colours.initials[0], QColor(170, 170, 170)) << "the chooser starts at the swatch's colour";
    EXPECT_EQ(d.userPalette().at(2), (PaletteColour{1, 2, 3}));
    EXPECT_EQ(d.userPalette().size(), 4);
    Click(d, "editColourButton"); // given up: unchanged
    EXPECT_EQ(d.userPalette().at(2), (PaletteColour{1, 2, 3}));
    EXPECT_EQ(list->item(2)->toolTip(), u"Palette index 2: Red 1, Green 2, Blue 3");
}

TEST(ColourResolutionDlgTest, TheRealColourDialogAddsAColour) {
    const ImagingTextStore texts;
    CColourResolutionDlg d(gradientPicture(32, 24), texts);
    Click(d, "userRadio");
    bool answered = false;
    QTimer::singleShot(0, &d, [&] {
        // The chooser opens modally from the click below; answer it once it is up.
        const bool up = QTest::qWaitFor(
            [] { return qobject_cast<QColorDialog*>(QApplication::activeModalWidget()) != nullptr; }, 30000);
        EXPECT_TRUE(up);
        if (auto* chooser = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
            chooser->setCurrentColor(QColor(12, 34, 56));
            chooser->accept();
            answered = true;
        }
    });
    Click(d, "addColourButton");
    EXPECT_TRUE(answered);
    EXPECT_EQ(d.userPalette(), Palette({{12, 34, 56}}));
}

TEST(ColourResolutionDlgTest, LabelsComeFromTheImagingTextStore) {
    const ShippedCatalog catalog;
    const ImagingTextStore texts = shippedTexts();
    CColourResolutionDlg d(gradientPicture(40, 30), texts);
    EXPECT_EQ(d.windowTitle(), CatalogText(9, 113));
    EXPECT_EQ(textOf<QGroupBox>(d, "bitsGroup"), CatalogText(9, 114));
    EXPECT_EQ(textOf<QRadioButton>(d, "bits1Radio"), CatalogText(9, 115));
    EXPECT_EQ(textOf<QRadioButton>(d, "bits24Radio"), CatalogText(9, 119));
    EXPECT_EQ(textOf<QGroupBox>(d, "paletteGroup"), CatalogText(9, 120));
    EXPECT_EQ(textOf<QRadioButton>(d, "optimisedRadio"), CatalogText(9, 121));
    EXPECT_EQ(textOf<QRadioButton>(d, "webRadio"), CatalogText(9, 124));
    EXPECT_EQ(textOf<QRadioButton>(d, "userRadio"), CatalogText(9, 126));
    EXPECT_EQ(textOf<QGroupBox>(d, "ditherGroup"), CatalogText(9, 127));
    EXPECT_EQ(textOf<QRadioButton>(d, "noDitherRadio"), CatalogText(9, 128));
    EXPECT_EQ(textOf<QRadioButton>(d, "floydSteinbergRadio"), CatalogText(9, 129));
    EXPECT_EQ(textOf<QRadioButton>(d, "orderedRadio"), CatalogText(9, 130));
    EXPECT_EQ(textOf<QLabel>(d, "colourCountLabel"), CatalogText(9, 131));
    EXPECT_EQ(textOf<QGroupBox>(d, "userPaletteGroup"), CatalogText(9, 132));
    EXPECT_EQ(textOf<QPushButton>(d, "editColourButton"), CatalogText(9, 133));
    EXPECT_EQ(textOf<QLabel>(d, "coloursInUseLabel"), CatalogText(9, 142));
    EXPECT_EQ(textOf<QPushButton>(d, "okButton"), CatalogText(9, 302));
    EXPECT_EQ(textOf<QPushButton>(d, "cancelButton"), CatalogText(7, 10));
    ExpectNothingClipped(d);
}

TEST(ColourResolutionDlgTest, EmptyStoreGivesTheEnglishFallbacks) {
    const ImagingTextStore empty;
    CColourResolutionDlg d(gradientPicture(40, 30), empty);
    EXPECT_EQ(d.windowTitle(), u"Color Resolution");
    EXPECT_EQ(textOf<QRadioButton>(d, "greyscaleRadio"), u"Grayscale");
    EXPECT_EQ(textOf<QRadioButton>(d, "floydSteinbergRadio"), u"Floyd-Steinberg");
    EXPECT_EQ(textOf<QLabel>(d, "colourCountLabel"), u"Number of colors");
}

TEST(ColourResolutionDlgTest, ChineseTextsFitTheirControls) {
    const ShippedCatalog catalog(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    const ImagingTextStore texts = shippedTexts();
    CColourResolutionDlg d(gradientPicture(640, 480), texts);
    EXPECT_EQ(d.windowTitle(), u"色深");
    ScriptedColours colours;
    colours.install(d);
    colours.answers = {Qt::black, Qt::white, QColor(200, 30, 30), QColor(30, 160, 60), QColor(40, 60, 220)};
    Click(d, "userRadio");
    for (int i = 0; i < 5; ++i) {
        Click(d, "addColourButton");
    }
    EXPECT_EQ(d.userPalette().size(), 5);
    ExpectNothingClipped(d);
}

// ---------------------------------------------------------------------------------------
// Fit to projector

TEST(FitResultDlgTest, ShowsTheFitAndConfirmsWithUse) {
    const ShippedCatalog catalog;
    const Picture source = noisePicture(400, 300); // fits only with a lossy pass
    const FitToProjector::Result fit = FitToProjector::fit(source);
    ASSERT_TRUE(fit.result.ok()) << fit.result.detail.toStdString();
    ASSERT_LE(fit.bytes.size(), SendableImage::kMaxFileSize);

    CFitResultDlg d(fit);
    EXPECT_EQ(d.windowTitle(), CatalogText(msg::FitDlgTitle));
    EXPECT_EQ(d.windowTitle(), u"Fit to Projector");
    EXPECT_EQ(textOf<QLabel>(d, "sizeValue"),
              QStringLiteral("%1 × %2").arg(fit.shown.width()).arg(fit.shown.height()));
    EXPECT_EQ(fit.shown.width(), 400);
    ASSERT_GT(fit.runTolerance, 0) << "this picture is meant to show a lossy setting";
    const QString bytes = QLocale(QLocale::English, QLocale::UnitedStates).toString(qint64(fit.bytes.size()));
    EXPECT_EQ(textOf<QLabel>(d, "fileSizeValue"), QStringLiteral("%1 of at most 130,816 bytes").arg(bytes));
    EXPECT_EQ(Child<QProgressBar>(d, "fileSizeBar")->value(), fit.bytes.size());
    EXPECT_EQ(textOf<QLabel>(d, "qualityValue"), QStringLiteral("%1 dB").arg(fit.psnr, 0, 'f', 1));
    EXPECT_GT(fit.psnr, 10.0);
    EXPECT_EQ(textOf<QLabel>(d, "coloursValue"), QString::number(fit.colours));
    EXPECT_EQ(textOf<QLabel>(d, "scaleValue"), QStringLiteral("%1%").arg(std::lround(fit.scale * 100)));
    EXPECT_EQ(textOf<QLabel>(d, "candidatesValue"), QString::number(fit.candidates));
    const QString none = CatalogText(msg::FitNone);
    EXPECT_EQ(textOf<QLabel>(d, "toleranceValue"),
              fit.runTolerance == 0 ? none : QString::number(fit.runTolerance));
    EXPECT_EQ(textOf<QLabel>(d, "smoothingValue"),
              fit.smoothing == 0 ? none : QString::number(fit.smoothing));
    EXPECT_EQ(textOf<QLabel>(d, "ditherValue"), fit.dither > 0 ? QString::number(fit.dither, 'f', 2) : none);

    const QImage reference = shownImage(d, "referenceImage");
    const QImage shown = shownImage(d, "shownImage");
    EXPECT_EQ(reference.width(), CFitResultDlg::kPreviewWidth);
    EXPECT_LE(reference.height(), CFitResultDlg::kPreviewHeight);
    EXPECT_EQ(shown.size(), reference.size());
    EXPECT_NE(shown, reference) << "a lossy fit looks different from its reference";
    ExpectNothingClipped(d);

    const int r = ExecWith(d, [&] { Click(d, "useButton"); });
    EXPECT_EQ(r, 100);
    EXPECT_EQ(d.resultStatus(), 100);
}

TEST(FitResultDlgTest, CancelKeepsThePicture) {
    const ShippedCatalog catalog;
    const FitToProjector::Result fit = FitToProjector::fit(gradientPicture(160, 120));
    ASSERT_TRUE(fit.result.ok());
    CFitResultDlg d(fit);
    EXPECT_EQ(textOf<QPushButton>(d, "cancelButton"), CatalogText(msg::ButtonCancel));
    EXPECT_EQ(textOf<QPushButton>(d, "useButton"), CatalogText(msg::FitButtonUse));
    EXPECT_NE(ExecWith(d, [&] { Click(d, "cancelButton"); }), 100);
    EXPECT_NE(d.resultStatus(), 100);
}

TEST(FitResultDlgTest, ALosslessFitSaysIdentical) {
    const ShippedCatalog catalog;
    const FitToProjector::Result fit = FitToProjector::fit(flatPicture(100, 80));
    ASSERT_TRUE(fit.result.ok());
    ASSERT_TRUE(std::isinf(fit.psnr));
    CFitResultDlg d(fit);
    EXPECT_EQ(textOf<QLabel>(d, "qualityValue"), CatalogText(msg::FitQualityIdentical));
    EXPECT_EQ(textOf<QLabel>(d, "toleranceValue"), CatalogText(msg::FitNone));
    EXPECT_EQ(shownImage(d, "shownImage"), shownImage(d, "referenceImage"));
}

TEST(FitResultDlgTest, AFailedFitOffersOnlyCancel) {
    const ShippedCatalog catalog;
    const FitToProjector::Result fit = FitToProjector::fit(Picture());
    ASSERT_FALSE(fit.result.ok());
    CFitResultDlg d(fit);
    EXPECT_EQ(textOf<QLabel>(d, "failureLabel"), CatalogText(fit.result.messageId()));
    EXPECT_EQ(d.findChild<QPushButton*>(u"useButton"_qs), nullptr);
    const int r = ExecWith(d, [&] {
        d.accept(); // not even a direct call gets a failed fit through
        EXPECT_TRUE(d.isVisible());
        Click(d, "cancelButton");
    });
    EXPECT_NE(r, 100);
    EXPECT_NE(d.resultStatus(), 100);
}

TEST(FitResultDlgTest, ChineseTextsFitTheirControls) {
    const ShippedCatalog catalog(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    const FitToProjector::Result fit = FitToProjector::fit(noisePicture(320, 240));
    ASSERT_TRUE(fit.result.ok());
    CFitResultDlg d(fit);
    EXPECT_EQ(d.windowTitle(), u"适配投影机");
    EXPECT_EQ(textOf<QPushButton>(d, "useButton"), u"使用此图片");
    EXPECT_TRUE(textOf<QLabel>(d, "fileSizeValue").endsWith(u"上限 130,816 字节"));
    ExpectNothingClipped(d);
}

} // namespace
