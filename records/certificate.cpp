#include "records/certificate.h"

#include "records/recordschema.h"

#include <QDir>
#include <QSaveFile>
#include <QSettings>

#include <hpdf.h>

#include <memory>

namespace {

// A4 in points, with the margins of a printed form.
constexpr double kPageWidth = 595.28;
constexpr double kPageHeight = 841.89;
constexpr double kMargin = 50;
constexpr double kFooterY = 30;
constexpr double kLabelWidth = 150;
constexpr double kBodySize = 10;
constexpr double kLineGap = 1.35; // line height as a multiple of the font size

// The PDF standard fonts know WinAnsi (Windows-1252) only: Latin-1 plus these in 0x80-0x9F.
// Embedding a font for other scripts would tie the certificate to a font file on the machine, so
// a character outside WinAnsi is written as '?' (a translated label falls back to its English
// source instead, see Layout::label).
const QHash<ushort, char> &winAnsiHigh()
{
    static const QHash<ushort, char> table = {
        {0x20AC, '\x80'},
        {0x201A, '\x82'},
        {0x0192, '\x83'},
        {0x201E, '\x84'},
        {0x2026, '\x85'},
        {0x2020, '\x86'},
        {0x2021, '\x87'},
        {0x02C6, '\x88'},
        {0x2030, '\x89'},
        {0x0160, '\x8A'},
        {0x2039, '\x8B'},
        {0x0152, '\x8C'},
        {0x017D, '\x8E'},
        {0x2018, '\x91'},
        {0x2019, '\x92'},
        {0x201C, '\x93'},
        {0x201D, '\x94'},
        {0x2022, '\x95'},
        {0x2013, '\x96'},
        {0x2014, '\x97'},
        {0x02DC, '\x98'},
        {0x2122, '\x99'},
        {0x0161, '\x9A'},
        {0x203A, '\x9B'},
        {0x0153, '\x9C'},
        {0x017E, '\x9E'},
        {0x0178, '\x9F'},
        // Look-alikes the standard fonts lack: the minus sign and Greek mu ("μV" typed by hand).
        {0x2212, '-'},
        {0x03BC, '\xB5'},
    };
    return table;
}

// Whether every character has a WinAnsi code; `out` gets the bytes with '?' for the others.
bool toWinAnsi(const QString &text, QByteArray *out)
{
    bool complete = true;
    out->clear();
    out->reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF)) {
            out->append(char(u));
        } else if (const auto it = winAnsiHigh().constFind(u); it != winAnsiHigh().constEnd()) {
            out->append(it.value());
        } else if (c.isLowSurrogate()) {
            continue; // the high half already stood for the whole character
        } else {
            out->append('?');
            complete = false;
        }
    }
    return complete;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("Certificate", text);
}

// Readings with the device's two decimals, a third where the channel has one.
QString number(double value)
{
    QString text = QString::number(value, 'f', 3);
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    return text == QLatin1String("-0.00") ? QStringLiteral("0.00") : text;
}

QString figure(double value)
{
    return QString::number(value, 'g', 3);
}

QString withUnit(const QString &value, const QString &unit)
{
    return unit.isEmpty() ? value : value + QLatin1Char(' ') + unit;
}

QString localTime(const QDateTime &time)
{
    // In the offset the time carries (the one it was recorded in), not this machine's zone.
    const int seconds = time.offsetFromUtc();
    if (seconds == 0)
        return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" UTC");
    const int minutes = qAbs(seconds) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
           QStringLiteral("%1%2:%3")
               .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString verdict(const QString &result)
{
    if (result == QLatin1String(RecordSchema::kOutcomePass))
        return tr("PASS");
    if (result == QLatin1String(RecordSchema::kOutcomeFail))
        return tr("FAIL");
    return tr("incomplete");
}

enum class Font
{
    Regular,
    Bold
};

// What is drawn on one page, placed before the PDF is made so that the page count is known for
// every footer.
struct Text
{
    double x;
    double y;
    Font font;
    double size;
    QByteArray bytes;
};

struct Rule
{
    double x1;
    double x2;
    double y;
};

struct Page
{
    QList<Text> texts;
    QList<Rule> rules;
};

// Flows the certificate's lines down the pages, measuring with the fonts the PDF will use.
class Layout
{
public:
    Layout(HPDF_Font regular, HPDF_Font bold) : m_regular(regular), m_bold(bold) { newPage(); }

    QList<Page> pages() const { return m_pages; }

    // A fixed text in the user's language, or its English source when that language needs
    // characters the standard fonts lack.
    static QString label(const char *source)
    {
        const QString translated = tr(source);
        QByteArray bytes;
        return toWinAnsi(translated, &bytes) ? translated : QString::fromUtf8(source);
    }

    double width(const QString &text, Font font, double size) const
    {
        QByteArray bytes;
        toWinAnsi(text, &bytes);
        return width(bytes, font, size);
    }

    double width(const QByteArray &bytes, Font font, double size) const
    {
        const HPDF_TextWidth w = HPDF_Font_TextWidth(font == Font::Bold ? m_bold : m_regular,
                                                     reinterpret_cast<const HPDF_BYTE *>(bytes.constData()),
                                                     HPDF_UINT(bytes.size()));
        return double(w.width) * size / 1000.0;
    }

    // Starts a new page when less than `height` is left, so a block is not split.
    void keep(double height)
    {
        if (m_y - height < kMargin + 20)
            newPage();
    }

    void title(const QString &text, double size)
    {
        keep(size * 2);
        m_y -= size * kLineGap;
        put(kMargin, text, Font::Bold, size);
        m_y -= size * 0.5;
    }

    void heading(const QString &text)
    {
        keep(kBodySize * 6); // with a few lines of what it heads
        m_y -= kBodySize * 1.2;
        line(kMargin, text, Font::Bold, kBodySize + 1);
        m_pages.last().rules.append({kMargin, kPageWidth - kMargin, m_y - 3});
        m_y -= 4;
    }

    // A label and its value, the value wrapped within its column.
    void row(const QString &label, const QString &value, Font font = Font::Regular)
    {
        const QStringList lines = wrap(value, kPageWidth - 2 * kMargin - kLabelWidth, font);
        keep(lines.size() * kBodySize * kLineGap);
        for (int i = 0; i < lines.size(); ++i) {
            m_y -= kBodySize * kLineGap;
            if (i == 0)
                put(kMargin, label, Font::Regular, kBodySize);
            put(kMargin + kLabelWidth, lines.at(i), font, kBodySize);
        }
    }

    void paragraph(const QString &text, Font font = Font::Regular)
    {
        for (const QString &l : wrap(text, kPageWidth - 2 * kMargin, font))
            line(kMargin, l, font, kBodySize);
    }

    // One line of cells at the given offsets from the margin.
    void cells(const QStringList &texts, const QList<double> &offsets, Font font = Font::Regular)
    {
        keep(kBodySize * kLineGap);
        m_y -= kBodySize * kLineGap;
        for (int i = 0; i < texts.size() && i < offsets.size(); ++i)
            put(kMargin + offsets.at(i), texts.at(i), font, kBodySize);
    }

    void space(double points) { m_y -= points; }

private:
    void newPage()
    {
        m_pages.append(Page());
        m_y = kPageHeight - kMargin;
    }

    void line(double x, const QString &text, Font font, double size)
    {
        keep(size * kLineGap);
        m_y -= size * kLineGap;
        put(x, text, font, size);
    }

    void put(double x, const QString &text, Font font, double size)
    {
        QByteArray bytes;
        toWinAnsi(text, &bytes);
        m_pages.last().texts.append({x, m_y, font, size, bytes});
    }

    // Breaks at blanks (and at given line ends); a word wider than the column is cut.
    QStringList wrap(const QString &text, double maxWidth, Font font) const
    {
        QStringList lines;
        for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
            QString current;
            for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
                if (width(candidate, font, kBodySize) <= maxWidth || current.isEmpty()) {
                    current = candidate;
                } else {
                    lines.append(current);
                    current = word;
                }
                while (width(current, font, kBodySize) > maxWidth && current.size() > 1) {
                    int fit = current.size() - 1;
                    while (fit > 1 && width(current.left(fit), font, kBodySize) > maxWidth)
                        --fit;
                    lines.append(current.left(fit));
                    current = current.mid(fit);
                }
            }
            lines.append(current);
        }
        return lines;
    }

    HPDF_Font m_regular;
    HPDF_Font m_bold;
    QList<Page> m_pages;
    double m_y = 0;
};

// libharu reports errors through a callback; the first one is kept and the rest ignored, the
// document is dropped when any came.
struct HaruError
{
    HPDF_STATUS code = HPDF_OK;
    HPDF_STATUS detail = 0;
};

void onHaruError(HPDF_STATUS code, HPDF_STATUS detail, void *data)
{
    auto *error = static_cast<HaruError *>(data);
    if (error->code == HPDF_OK) {
        error->code = code;
        error->detail = detail;
    }
}

struct HaruFree
{
    void operator()(HPDF_Doc doc) const { HPDF_Free(doc); }
};

void readingCells(Layout &layout, const QString &label, const ReportReading &r, const QString &unit,
                  const QList<double> &columns)
{
    if (!r.taken) {
        layout.cells({label, Layout::label("not taken")}, columns);
        return;
    }
    layout.cells({label, withUnit(number(r.value), unit), withUnit(number(r.error), unit),
                  r.stable ? Layout::label("stable") : Layout::label("not stable"),
                  withUnit(figure(r.slopePerMinute), unit) + Layout::label("/min"),
                  withUnit(figure(r.sd), unit)},
                 columns);
}

void describe(Layout &l, const ProcedureReport &report, const Laboratory &lab,
              const QString &certificateNumber, const QDateTime &issued)
{
    const auto label = &Layout::label;
    l.title(label("Calibration Certificate"), 20);
    l.row(label("Certificate number"), certificateNumber, Font::Bold);

    l.heading(label("Laboratory"));
    l.row(label("Name"),
          lab.name.trimmed().isEmpty() ? label("not set (lab/name in the settings)") : lab.name);
    l.row(label("Address"),
          lab.address.trimmed().isEmpty() ? label("not set (lab/address in the settings)") : lab.address);

    l.heading(label("Item calibrated"));
    l.row(label("Model"), report.model);
    l.row(label("Serial number"), report.serial);
    l.row(label("Firmware"), report.firmware);

    l.heading(label("Calibration"));
    l.row(label("Date of calibration"), localTime(report.calibrated));
    l.row(label("Date of issue"), localTime(issued));
    l.row(label("Method"), report.method);
    l.row(label("Decision rule"), report.decisionRule);
    l.row(label("Calibrated by"), report.technician);
    l.row(label("Software"), QStringLiteral("TQ Gas Calibrator %1").arg(report.toolVersion));

    l.heading(label("Reference gases"));
    if (report.gases.isEmpty())
        l.paragraph(label("No reference gas was entered."));
    for (const ReferenceGas &g : report.gases) {
        l.row(label("Gas"), withUnit(g.gas + QLatin1Char(' ') + number(g.concentration), g.unit), Font::Bold);
        l.row(label("Lot or certificate"), g.lot.isEmpty() ? label("not entered") : g.lot);
        l.row(label("Expiry"), g.expiry.isValid() ? g.expiry.toString(Qt::ISODate) : label("not entered"));
        if (g.uncertainty)
            l.row(label("Uncertainty"), QStringLiteral("\u00B1 ") + withUnit(number(*g.uncertainty), g.unit));
    }

    l.heading(label("Conditions"));
    l.row(label("Temperature"), report.temperature
                                    ? withUnit(number(*report.temperature), report.temperatureUnit) +
                                          label(" (read from the device)")
                                    : label("not read from the device"));

    l.heading(label("Results"));
    const QList<double> columns = {0, 70, 160, 240, 310, 420};
    for (int i = 0; i < report.points.size(); ++i) {
        const ReportPoint &p = report.points.at(i);
        l.keep(kBodySize * kLineGap * 10);
        l.space(4);
        QString name = p.channelName.isEmpty() ? label("channel %1").arg(p.channel)
                                               : label("%1, channel %2").arg(p.channelName).arg(p.channel);
        l.row(label("Point %1").arg(i + 1), name, Font::Bold);
        l.row(label("Reference"), withUnit(number(p.reference), p.unit));
        l.row(label("Tolerance"), QStringLiteral("\u00B1 ") + withUnit(number(p.tolerance), p.unit));
        if (p.uncertainty)
            l.row(label("Uncertainty"), QStringLiteral("\u00B1 ") + withUnit(number(*p.uncertainty), p.unit));
        l.row(label("Stability limits"),
              label("slope %1/min, SD %2, dwell %3 s, window %4 s")
                  .arg(withUnit(figure(p.maxSlope), p.unit), withUnit(figure(p.maxSd), p.unit),
                       figure(p.dwellS), figure(p.windowS)));
        l.cells(
            {QString(), label("Reading"), label("Error"), label("Stability"), label("Slope"), label("SD")},
            columns, Font::Bold);
        readingCells(l, label("As found"), p.asFound, p.unit, columns);
        l.cells({label("Adjustment"), p.adjustment.isEmpty() ? label("none")
                                      : p.adjusted           ? p.adjustment
                                                             : label("%1 (not taken)").arg(p.adjustment)},
                {0, 70});
        if (p.adjusted || p.asLeft.taken)
            readingCells(l, label("As left"), p.asLeft, p.unit, columns);
        else
            l.cells({label("As left"), label("as found (not adjusted)")}, columns);
        l.row(label("Result"),
              verdict(p.result) + (p.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(p.reason)),
              Font::Bold);
    }

    l.heading(label("Statement"));
    l.row(label("Overall result"), verdict(report.result), Font::Bold);
    l.row(label("Writes to the device"),
          report.writes.isEmpty() ? label("none") : report.writes.join(QLatin1String(", ")));
    l.space(6);
    l.paragraph(label("The results relate only to the item calibrated."), Font::Bold);
    l.space(24);
    l.row(label("Signature"), QStringLiteral("______________________________"));
}

} // namespace

Laboratory Laboratory::fromSettings()
{
    QSettings settings;
    return {settings.value(QStringLiteral("lab/name")).toString(),
            settings.value(QStringLiteral("lab/address")).toString()};
}

Certificate::Certificate(const ProcedureReport &report, const Laboratory &laboratory)
    : m_report(report), m_laboratory(laboratory), m_issued(QDateTime::currentDateTime())
{
}

void Certificate::setIssued(const QDateTime &issued)
{
    m_issued = issued;
}

QString Certificate::number() const
{
    QString serial;
    for (const QChar c : m_report.serial) {
        if (c.unicode() < 0x80 && c.isLetterOrNumber())
            serial.append(c);
    }
    return QStringLiteral("%1-%2-%3")
        .arg(m_report.model, serial.isEmpty() ? QStringLiteral("0") : serial,
             m_issued.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")));
}

bool Certificate::write(const QString &path)
{
    m_error.clear();
    if (!m_report.isComplete()) {
        m_error = tr("No certificate for an incomplete calibration (%1).")
                      .arg(m_report.reason.isEmpty() ? tr("no result") : m_report.reason);
        return false;
    }
    HaruError haruError;
    std::unique_ptr<std::remove_pointer_t<HPDF_Doc>, HaruFree> doc(HPDF_New(onHaruError, &haruError));
    if (!doc) {
        m_error = tr("The certificate cannot be made: out of memory.");
        return false;
    }
    HPDF_SetCompressionMode(doc.get(), HPDF_COMP_ALL);
    const QByteArray number = this->number().toLatin1();
    HPDF_SetInfoAttr(doc.get(), HPDF_INFO_TITLE, number.constData());
    HPDF_SetInfoAttr(doc.get(), HPDF_INFO_CREATOR, "TQ Gas Calibrator");
    const HPDF_Font regular = HPDF_GetFont(doc.get(), "Helvetica", "WinAnsiEncoding");
    const HPDF_Font bold = HPDF_GetFont(doc.get(), "Helvetica-Bold", "WinAnsiEncoding");

    Layout layout(regular, bold);
    describe(layout, m_report, m_laboratory, this->number(), m_issued);
    const QList<Page> pages = layout.pages();
    for (int i = 0; i < pages.size(); ++i) {
        HPDF_Page page = HPDF_AddPage(doc.get());
        HPDF_Page_SetWidth(page, HPDF_REAL(kPageWidth));
        HPDF_Page_SetHeight(page, HPDF_REAL(kPageHeight));
        HPDF_Page_SetLineWidth(page, 0.5);
        for (const Rule &r : pages.at(i).rules) {
            HPDF_Page_MoveTo(page, HPDF_REAL(r.x1), HPDF_REAL(r.y));
            HPDF_Page_LineTo(page, HPDF_REAL(r.x2), HPDF_REAL(r.y));
            HPDF_Page_Stroke(page);
        }
        HPDF_Page_BeginText(page);
        for (const Text &t : pages.at(i).texts) {
            HPDF_Page_SetFontAndSize(page, t.font == Font::Bold ? bold : regular, HPDF_REAL(t.size));
            HPDF_Page_TextOut(page, HPDF_REAL(t.x), HPDF_REAL(t.y), t.bytes.constData());
        }
        // The number on every page ties a loose sheet to its certificate.
        QByteArray left;
        QByteArray right;
        toWinAnsi(Layout::label("Certificate %1").arg(this->number()), &left);
        toWinAnsi(Layout::label("Page %1 of %2").arg(i + 1).arg(pages.size()), &right);
        HPDF_Page_SetFontAndSize(page, regular, 8);
        HPDF_Page_TextOut(page, HPDF_REAL(kMargin), HPDF_REAL(kFooterY), left.constData());
        const double rightWidth = layout.width(right, Font::Regular, 8);
        HPDF_Page_TextOut(page, HPDF_REAL(kPageWidth - kMargin - rightWidth), HPDF_REAL(kFooterY),
                          right.constData());
        HPDF_Page_EndText(page);
    }

    HPDF_SaveToStream(doc.get());
    QByteArray pdf(int(HPDF_GetStreamSize(doc.get())), Qt::Uninitialized);
    HPDF_UINT32 size = HPDF_UINT32(pdf.size());
    HPDF_ReadFromStream(doc.get(), reinterpret_cast<HPDF_BYTE *>(pdf.data()), &size);
    if (haruError.code != HPDF_OK || size != HPDF_UINT32(pdf.size())) {
        m_error = tr("The certificate cannot be made (PDF library error 0x%1, %2).")
                      .arg(QString::number(haruError.code, 16))
                      .arg(haruError.detail);
        return false;
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit()) {
        m_error = tr("The certificate cannot be written to %1: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}
