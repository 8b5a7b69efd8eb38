// The customer's sheet as a PDF: its pages, its fonts inside, and its text as a PDF
// reader takes it out again.

#include <QBuffer>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "settingsfile/FileAccess.h"
#include "ui/SheetPdf.h"

namespace {

// The longest sheet: every tax on with a name of all 16 characters, every group bound.
TKkmSettings WorstCase() {
  TKkmSettings settings;
  for (int t = 1; t <= TaxCount; ++t)
    settings.Tax(t) = {true, std::to_string(10 + t) + ",25", "Налог номер " + std::to_string(t) + " ЖЩ", "Н"};
  for (int n = 1; n <= RateCount; ++n) {
    settings.Discount(n) = "0" + std::to_string(n) + ",10";
    settings.Surcharge(n) = std::to_string(n) + "3,70";
  }
  for (int g = 1; g <= GroupCount; ++g) {
    const std::string rate = std::to_string(g % RateCount + 1);
    settings.Group(g) = {std::to_string(g % 3 + 1), g % 2 ? rate : "", g % 2 ? "" : rate};
  }
  return settings;
}

// A row of the sheet as the reader lays it out: its cells in order, blanks between.
QRegularExpression RowPattern(const std::vector<std::string>& cells) {
  QStringList parts;
  for (const std::string& cell : cells) {
    parts << QRegularExpression::escape(QString::fromStdString(cell)).replace(QStringLiteral("\\ "), "\\s+");
  }
  return QRegularExpression("(^|\\s)" + parts.join("\\s+") + "(\\s|$)", QRegularExpression::MultilineOption);
}

QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(30000) || process.exitCode() != 0) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

class SheetPdfTest : public QObject {
  Q_OBJECT

 private slots:
  // The longest sheet on at most three pages, a short one on one.
  void WorstCaseOnAtMostThreePages() {
    const TSettingsSheet sheet = SettingsSheet(WorstCase(), TRegisterOrigin{"37", "1.0.4", "2026-12-10 14:03", "COM7"});
    QCOMPARE(sheet.Tables.at(2).Rows.size(), static_cast<std::size_t>(GroupCount));
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("лист.pdf"));
    std::string error;
    QVERIFY(WriteSheetPdf(sheet, file.toStdString(), error));
    QVERIFY(error.empty());
    const std::string bytes = ReadFileBytes(PathFromUtf8(file.toStdString())).value_or("");
    QVERIFY(bytes.starts_with("%PDF-"));
    const qsizetype pages = QString::fromLatin1(bytes).count(QRegularExpression("/Type\\s*/Page\\b"));
    QVERIFY2(pages >= 1 && pages <= 3, qPrintable(QString::number(pages)));
    QCOMPARE(static_cast<int>(pages), PaintedPages(sheet));
    QCOMPARE(PaintedPages(SettingsSheet(TKkmSettings(), std::nullopt)), 1);
    QVERIFY(bytes.find("/FontFile2") != std::string::npos);

    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) QSKIP("no pdftotext to read the text back");
    const QString text = Run(pdftotext, {QStringLiteral("-layout"), file, QStringLiteral("-")});
    QVERIFY(text.contains(QStringLiteral("ККМ № 37 · ПО 1.0.4 · порт COM7 · 2026-12-10 14:03")));
    for (const TSheetTable& table : sheet.Tables) {
      for (const auto& row : table.Rows) QVERIFY2(text.contains(RowPattern(row)), row.front().c_str());
    }
    QVERIFY(text.contains(QStringLiteral("Страница %1 из %1").arg(pages)));
    const QString info = Run(QStandardPaths::findExecutable(QStringLiteral("pdfinfo")), {file});
    QVERIFY(info.contains(QRegularExpression("Title:\\s+Лист установок ККМ\\n")));
    QVERIFY(info.contains(QRegularExpression("Creator:\\s+orbi7prog\\n")));
  }

 private:
  static int PaintedPages(const TSettingsSheet& sheet) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    UseSheetPage(writer);
    return PaintSheet(writer, sheet);
  }
};

QTEST_MAIN(SheetPdfTest)
#include "SheetPdfTest.moc"
