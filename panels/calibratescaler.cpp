#include "panels/calibratescaler.h"

#include "ui_calibratescaler.h"
#include "widgets/decimalinput.h"

CalibrateScaler::CalibrateScaler(double zero, double span, double ppm, QWidget *parent)
    : QWizardPage(parent), ui(new Ui::CalibrateScaler)
{
    ui->setupUi(this);
    ui->doubleSpinBox_zero->setValue(zero);
    ui->doubleSpinBox_span->setValue(span);
    ui->doubleSpinBox_ppm->setValue(ppm);
    registerField(QStringLiteral("ZERO"), ui->doubleSpinBox_zero, "value");
    registerField(QStringLiteral("SPAN"), ui->doubleSpinBox_span, "value");
    registerField(QStringLiteral("PPM"), ui->doubleSpinBox_ppm, "value");
    for (QDoubleSpinBox *editor : {ui->doubleSpinBox_zero, ui->doubleSpinBox_span, ui->doubleSpinBox_ppm}) {
        acceptAnyDecimalSeparator(editor);
        connect(editor, QOverload<double>::of(&QDoubleSpinBox::valueChanged), ui->label_message,
                &QLabel::clear);
    }
}

CalibrateScaler::~CalibrateScaler()
{
    delete ui;
}

double CalibrateScaler::zero() const
{
    return ui->doubleSpinBox_zero->value();
}

double CalibrateScaler::span() const
{
    return ui->doubleSpinBox_span->value();
}

double CalibrateScaler::ppm() const
{
    return ui->doubleSpinBox_ppm->value();
}

QString CalibrateScaler::shownValue(const QDoubleSpinBox *editor)
{
    QString text = QString::number(editor->value(), 'f', editor->decimals());
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString CalibrateScaler::parametersText() const
{
    return shownValue(ui->doubleSpinBox_ppm) + QLatin1Char(',') + shownValue(ui->doubleSpinBox_zero) +
           QLatin1Char(',') + shownValue(ui->doubleSpinBox_span);
}

bool CalibrateScaler::validatePage()
{
    QStringList problems;
    if (ppm() <= 0)
        problems.append(tr("the calibration gas ppm must be more than 0."));
    if (span() == zero())
        problems.append(tr("span and zero must differ."));
    ui->label_message->setText(problems.join(QLatin1Char('\n')));
    return problems.isEmpty();
}
