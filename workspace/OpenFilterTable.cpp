#include "workspace/OpenFilterTable.h"

const QList<OpenFilterTable::Row>& OpenFilterTable::rows() {
    static const QList<Row> table = {
        {"All Files(*.*)", "*.*"},
        {"Projector GIF(*.qv1)", "*.qv1"},
        {"CMP(*cmp)", "*.cmp"},
        {"JPEG(*.jpg;*.jpeg;*.jtf)", "*.jpg;*.jpeg;*.jtf"},
        {"CMW(*.cmw)", "*.cmd"},
        {"JPEG 2000(*.j2k;*.jp2)", "*.j2k;*.jp2"},
        {"TIFF(*.tif;*.tiff)", "*.tif;*.tiff"},
        {"GIF(*.gif)", "*.gif"},
        {"PNG(*.png)", "*.png"},
        {"Acrobat(*.pdf)", "*.pdf"},
        {"Adobe Photoshop(*.psd)", "*.psd"},
        {"Advanced Function Presentation(*.afp)", "*.afp"},
        {"Animated Cursor(*.ani)", "*.ani"},
        {"AutoDesk DWF(*.dwf)", "*.dwf"},
        {"AutoDesk DWG(*.dwg)", "*.dwg"},
        {"AutoDesk DXF(*.dxf)", "*.dxf"},
        {"CALS(*.cal)", "*.cal"},
        {"Cannon RAW Format(*.crw)", "*.crw"},
        {"CGM(*.cgm)", "*.cgm"},
        {"Clipboad(*.clp)", "*.clp"},
        {"Compressed Windows Metafile(*.wmz)", "*.wmz"},
        {"Corel Presentation Exchange(*.cmx)", "*.cmx"},
        {"CUT(*.cut)", "*.cut"},
        {"DGN(*.dgn)", "*.dgn"},
        {"DICOM(*.dic)", "*.dic"},
        {"DJVU(*.djv)", "*.djv"},
        {"DRW(*.drw)", "*.drw"},
        {"Enhanced Compressed Wavelet(*.ecw)", "*.ecw"},
        {"Enhanced Metafile(*.emf)", "*.emf"},
        {"Environmental Systems Reserch Insitute(*.shi)", "*.shi"},
        {"EXIF(*.exf;*.tif;*.jpg)", "*.exf;*.tif;*.jpg"},
        {"FAX(*.fax)", "*.fax"},
        {"FLIC(*.flc;*.fli)", "*.flc;*.fli"},
        {"FlashPix(*.fpx)", "*.fpx"},
        {"Fleixble Image Transport System(*.fit)", "*.fit"},
        {"GEM IMG(*.img)", "*.img"},
        {"Gerber Vector(*.gbr)", "*.gbr"},
        {"HPGL(*.plt;*.hgl)", "*.plt;*.hgl"},
        {"IFF(*.iff)", "*.iff"},
        {"Internet Fax(*.tifx;*.tiff;*.tfx)", "*.tifx;*.tiff;*.tfx"},
        {"IOCA(*.ica)", "*.ica"},
        {"ITG(*.itg;*.cit)", "*.itg;*.cit"},
        {"JBIG(*.jbg;*.jbig)", "*.jbg;*.jbig)"},
        {"Kodak Cineon(*.cin)", "*.cin"},
        {"Kodak Digital Camera KDC(*.kdc)", "*.kdc"},
        {"Kodak Phote CD(*.pcd)", "*.pcd"},
        {"Kodak Professional Digital Camera System(*.tif)", "*.tif"},
        {"LaserView(*.lv)", "*.lv"},
        {"MacPaint(*.mac)", "*.mac"},
        {"Mac PICT(*.pct;*.pict)", "*.pct;*.pict"},
        {"MODCA(*.ica)", "*.ica"},
        {"Mr SID(*.sid)", "*.sid"},
        {"Ms Fax(*.awd)", "*.awd"},
        {"MS paint(*.msp)", "*.msp"},
        {"MO:DCA PTOCA(*.ptk)", "*.ptk"},
        {"OS/2 Bitmap(*.bmp)", "*.bmp"},
        {"PaintBrush PCX(*.pcx)", "*.pcx"},
        {"Paint Shop Pro(*.psp)", "*.psp"},
        {"PBM(*.pbm)", "*.pbm"},
        {"PGM(*.pgm)", "*.pgm"},
        {"Postscript(*.eps)", "*.eps"},
        {"PPM(*.ppm)", "*.ppm"},
        {"Printer Command Language(*.prn;*.prt;*.pcl)", "*.prn;*.prt;*.pcl"},
        {"Profession Digital Camera(*.dcr)", "*.dcr"},
        {"Profession Digital Camera(*.tif;*.tiff)", "*.tif;*.tiff"},
        {"Rich Text Format(*.rtf)", "*.rtf"},
        {"Scalable Vector Graphics(*.svg)", "*.svg"},
        {"Scitex Continuous Tone(*.sct;*.ct)", "*.sct;*.ct"},
        {"SGI(*.sgi)", "*.sgi"},
        {"Structured Fax File(*.sff)", "*.sff"},
        {"Sun Raster(*.ras)", "*.ras"},
        {"Targa TGA(*.tga)", "*.tga"},
        {"Windows Bitmap(*.bmp)", "*.bmp"},
        {"Windows Cursor(*.cur)", "*.cur"},
        {"Windows ICON(*.ico;*.icon)", "*.ico;*.icon"},
        {"WinFax(*.wfx)", "*.wfx"},
        {"Windows Metafile(*.wmf)", "*.wmf"},
        {"WordPerfectGraphic(*.wpg)", "*.wpg"},
        {"Wireless Bitmap(*.wbmp)", "*.wbmp"},
        {"Xionics SMP(*.smp)", "*.smp"},
        {"XWindows Bitmap(*.xwd)", "*.xwd"},
        {"X Bitmap(*.xbm)", "*.xbm"},
        {"X Pixmap(*.xpm)", "*.xpm"},
    };
    return table;
}
QString OpenFilterTable::joined() {
    QStringList parts;
    for (const Row& r : rows()) {
        parts << QString::fromLatin1(r.description) << QString::fromLatin1(r.patterns);
    }
    return parts.join(u'|');
}

QString OpenFilterTable::forFileDialog() {
    QStringList filters;
    for (const Row& r : rows()) {
        QString description = QString::fromLatin1(r.description);
        const qsizetype paren = description.indexOf(u'(');
        if (paren > 0) {
            description = description.left(paren).trimmed();
        }
        QStringList patterns;
        for (QString p : QString::fromLatin1(r.patterns).split(u';', Qt::SkipEmptyParts)) {
            p.remove(u')');
            p.remove(u'(');
            if (!p.isEmpty()) {
                patterns << p;
            }
        }
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(u' '));
    }
    return filters.join(QStringLiteral(";;"));
}
