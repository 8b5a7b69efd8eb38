#include "ui/SheetPdf.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <vector>

#include "settingsfile/FileAccess.h"

namespace {

// Sizes in millimetres and points, whatever the device's resolution.
constexpr double MarginMm = 15;
constexpr double PaddingMm = 1.5;   // between a cell's border and its text
constexpr double SlackMm = 0.5;     // into the padding, so that a column's widest text is never cut by rounding
constexpr double BandGapMm = 10;    // between the bands of a table laid side by side
constexpr double SectionGapMm = 6;  // between the tables
constexpr double FooterGapMm = 4;   // above the footer
constexpr double NoteGapMm = 1.5;   // between a table and its notes
constexpr double RowSpacing = 1.4;  // a row's height over its font's
constexpr int KeptWithHeading = 3;  // rows that a heading never leaves behind
constexpr int MaxBands = 3;

struct TStyle {
  double Points;
  bool Bold;
};

constexpr TStyle TitleStyle{16, true};
constexpr TStyle RegisterStyle{11, false};
constexpr TStyle HeadingStyle{12, true};
constexpr TStyle HeaderStyle{10, true};
constexpr TStyle CellStyle{10, false};
constexpr TStyle FooterStyle{8, false};

const QColor HeaderFill(232, 232, 232);
const QColor RuleColour(160, 160, 160);

constexpr std::array<const char*, 2> FontFiles = {":/sheet-fonts/DejaVuSans.ttf", ":/sheet-fonts/DejaVuSans-Bold.ttf"};

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The sheet's own fonts, the same on every system, with their Cyrillic letters. An
// application's fonts end with it: a console that makes one application after another
// adds them to each.
QString AddSheetFonts() {
  QString family;
  for (const char* file : FontFiles) {
    const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    if (id >= 0 && family.isEmpty()) family = QFontDatabase::applicationFontFamilies(id).value(0);
  }
  return family.isEmpty() ? QStringLiteral("DejaVu Sans") : family;
}

QString SheetFamily() {
  static QPointer<QCoreApplication> addedIn;
  static QString family;
  if (addedIn.isNull() || addedIn != QCoreApplication::instance()) {
    addedIn = QCoreApplication::instance();
    family = AddSheetFonts();
  }
  return family;
}

// A table's columns, as wide as their widest text; when the table is wider than the
// page, its widest column gives way and its texts are cut.
struct TColumns {
  std::vector<double> Widths;
  double Total = 0;
};

// Lays the sheet out page after page, and paints it when given a painter: the first
// pass only counts the pages, for the footers' "из N". A device without pages (a
// picture) takes the first page alone.
class TSheetPages {
 public:
  TSheetPages(QPaintDevice& device, QPainter* painter, int pageCount)
      : Device(device),
        Paged(dynamic_cast<QPagedPaintDevice*>(&device)),
        Painter(painter),
        Mm(device.logicalDpiY() / 25.4),
        PageCount(pageCount) {
    Bottom = Device.height() - Height(FooterStyle) - FooterGapMm * Mm;
  }

  int Paint(const TSettingsSheet& sheet) {
    Title = Q(sheet.Title);
    Footer();
    Line(TitleStyle, sheet.Title, Height(TitleStyle) * 0.3);
    Line(RegisterStyle, sheet.Register, SectionGapMm * Mm);
    for (const TSheetTable& table : sheet.Tables) Table(table);
    return Page;
  }

 private:
  QFont Font(TStyle style) const {
    QFont font(SheetFamily());
    font.setPointSizeF(style.Points);
    font.setBold(style.Bold);
    return font;
  }
  double Height(TStyle style) const { return QFontMetricsF(Font(style), &Device).height(); }
  double Width(TStyle style, const QString& text) const {
    return QFontMetricsF(Font(style), &Device).horizontalAdvance(text);
  }
  double RowHeight() const { return Height(CellStyle) * RowSpacing; }
  bool Fits(double height) const { return Y + height <= Bottom; }

  void NewPage() {
    if (Painter != nullptr && Paged != nullptr) Paged->newPage();
    if (Paged == nullptr) Painter = nullptr;
    ++Page;
    Y = 0;
    Footer();
  }

  void Text(TStyle style, const QRectF& box, const QString& text, int flags = Qt::AlignLeft | Qt::AlignVCenter) {
    if (Painter == nullptr) return;
    Painter->setFont(Font(style));
    const QRectF room = box.adjusted(0, 0, SlackMm * Mm, 0);
    const QString shown = QFontMetricsF(Font(style), &Device).elidedText(text, Qt::ElideRight, room.width());
    Painter->drawText(room, flags, shown);
  }

  void Footer() {
    const double height = Height(FooterStyle);
    const QRectF box(0, Device.height() - height, Device.width(), height);
    Text(FooterStyle, box, Title);
    const QString page = QStringLiteral("Страница %1 из %2").arg(Page).arg(PageCount);
    Text(FooterStyle, box, page, Qt::AlignRight | Qt::AlignVCenter);
  }

  // A line of its own across the page, on the next page when it does not fit.
  void Line(TStyle style, const std::string& text, double gapAfter) {
    const double height = Height(style);
    if (!Fits(height)) NewPage();
    Text(style, QRectF(0, Y, Device.width(), height), Q(text));
    Y += height + gapAfter;
  }

  TColumns Columns(const TSheetTable& table) const {
    TColumns columns;
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
      double widest = Width(HeaderStyle, Q(table.Columns[c]));
      for (const auto& row : table.Rows) widest = std::max(widest, Width(CellStyle, Q(row.at(c))));
      columns.Widths.push_back(widest + 2 * PaddingMm * Mm);
    }
    columns.Total = std::accumulate(columns.Widths.begin(), columns.Widths.end(), 0.0);
    if (columns.Total > Device.width()) {
      auto widest = std::max_element(columns.Widths.begin(), columns.Widths.end());
      *widest -= columns.Total - Device.width();
      columns.Total = Device.width();
    }
    return columns;
  }

  void Table(const TSheetTable& table) {
    const int rows = static_cast<int>(table.Rows.size());
    const double heading = Height(HeadingStyle) * 1.5;
    if (!Fits(heading + (rows > 0 ? (1 + std::min(rows, KeptWithHeading)) * RowHeight() : 0))) NewPage();
    Text(HeadingStyle, QRectF(0, Y, Device.width(), heading), Q(table.Heading));
    Y += heading;
    const TColumns columns = Columns(table);
    for (int next = 0; next < rows;) next += Bands(table, columns, next);
    Y += NoteGapMm * Mm;
    for (const std::string& note : table.Notes) Line(CellStyle, note, 0);
    Y += SectionGapMm * Mm;
  }

  // The rows from `first` on that the rest of the page takes: in one band, or in bands
  // side by side where one would run over the page and the table is narrow enough,
  // shared evenly where they end the table. Returns how many.
  int Bands(const TSheetTable& table, const TColumns& columns, int first) {
    if (!Fits(2 * RowHeight())) NewPage();
    const int left = static_cast<int>(table.Rows.size()) - first;
    const int perBand = std::max(1, static_cast<int>((Bottom - Y) / RowHeight()) - 1);
    const double gap = BandGapMm * Mm;
    const int across = std::clamp(static_cast<int>((Device.width() + gap) / (columns.Total + gap)), 1, MaxBands);
    const int bands = std::min(across, (left + perBand - 1) / perBand);
    const int inBand = std::min(perBand, (left + bands - 1) / bands);
    int taken = 0;
    for (int b = 0; b < bands && taken < left; ++b) {
      const int count = std::min(inBand, left - taken);
      Band(table, columns, b * (columns.Total + gap), first + taken, count);
      taken += count;
    }
    Y += (1 + inBand) * RowHeight();
    return taken;
  }

  // The column heads and `count` rows from `first`, from the left edge `x`.
  void Band(const TSheetTable& table, const TColumns& columns, double x, int first, int count) {
    if (Painter == nullptr) return;
    const double row = RowHeight();
    Painter->fillRect(QRectF(x, Y, columns.Total, row), HeaderFill);
    Cells(HeaderStyle, table.Columns, columns, x, Y);
    for (int r = 0; r < count; ++r) Cells(CellStyle, table.Rows.at(first + r), columns, x, Y + (r + 1) * row);
    Painter->setPen(QPen(RuleColour, 0.2 * Mm));
    for (int r = 1; r <= count; ++r)
      Painter->drawLine(QPointF(x, Y + r * row), QPointF(x + columns.Total, Y + r * row));
    Painter->drawRect(QRectF(x, Y, columns.Total, (count + 1) * row));
    Painter->setPen(Qt::black);
  }

  void Cells(TStyle style, const std::vector<std::string>& texts, const TColumns& columns, double x, double y) {
    const double padding = PaddingMm * Mm;
    for (std::size_t c = 0; c < texts.size() && c < columns.Widths.size(); ++c) {
      Text(style, QRectF(x + padding, y, columns.Widths[c] - 2 * padding, RowHeight()), Q(texts[c]));
      x += columns.Widths[c];
    }
  }

  QPaintDevice& Device;
  QPagedPaintDevice* Paged;
  QPainter* Painter;
  const double Mm;
  const int PageCount;
  QString Title;
  double Bottom = 0;
  double Y = 0;
  int Page = 1;
};

// QFont wants a QGuiApplication. The console has none: it gets one on the platform that
// needs no display, for as long as it writes the sheet. What Qt notes on its way there
// (a runtime folder not set, a font setting) is no output of the console's.
class TGuiForSheet {
 public:
  TGuiForSheet() {
    if (QCoreApplication::instance() != nullptr) return;
    Previous = qInstallMessageHandler(Quiet);
    App = std::make_unique<QGuiApplication>(Argc, Argv.data());
  }
  ~TGuiForSheet() {
    if (!App) return;
    App.reset();
    qInstallMessageHandler(Previous);
  }
  TGuiForSheet(const TGuiForSheet&) = delete;
  TGuiForSheet& operator=(const TGuiForSheet&) = delete;

  bool Ready() const { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

 private:
  static void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

  QtMessageHandler Previous = nullptr;
  std::string Program = "orbi7cli";
  std::string Option = "-platform";
  std::string Platform = "offscreen";
  std::array<char*, 4> Argv = {Program.data(), Option.data(), Platform.data(), nullptr};
  int Argc = 3;
  std::unique_ptr<QGuiApplication> App;
};

// The PDF in memory; empty when it could not be painted.
QByteArray SheetPdfBytes(const TSettingsSheet& sheet) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setTitle(Q(SheetTitle));
  writer.setCreator(QStringLiteral("orbi7prog"));
  UseSheetPage(writer);
  if (PaintSheet(writer, sheet) == 0) return {};
  return bytes;
}

}  // namespace

void UseSheetPage(QPagedPaintDevice& device) {
  device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                   QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter));
}

int PaintSheet(QPagedPaintDevice& device, const TSettingsSheet& sheet) {
  const int pages = TSheetPages(device, nullptr, 0).Paint(sheet);
  QPainter painter;
  if (!painter.begin(&device)) return 0;
  return TSheetPages(device, &painter, pages).Paint(sheet);
}

QImage SheetFirstPage(const TSettingsSheet& sheet, int dotsPerInch) {
  const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                           QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter);
  const auto image = [dotsPerInch](QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.setDotsPerMeterX(qRound(dotsPerInch / 0.0254));
    picture.setDotsPerMeterY(qRound(dotsPerInch / 0.0254));
    picture.fill(Qt::white);
    return picture;
  };
  QImage inside = image(layout.paintRectPixels(dotsPerInch).size());
  const int pages = TSheetPages(inside, nullptr, 0).Paint(sheet);
  {
    QPainter painter(&inside);
    TSheetPages(inside, &painter, pages).Paint(sheet);
  }
  QImage page = image(layout.fullRectPixels(dotsPerInch).size());
  QPainter(&page).drawImage(layout.paintRectPixels(dotsPerInch).topLeft(), inside);
  return page;
}

bool WriteSheetPdf(const TSettingsSheet& sheet, const std::string& fileName, std::string& error) {
  const std::string failed = "Не удалось записать лист установок в файл " + fileName;
  const TGuiForSheet gui;
  if (!gui.Ready()) {
    error = failed;
    return false;
  }
  const QByteArray bytes = SheetPdfBytes(sheet);
  if (bytes.isEmpty() || !ReplaceFileBytes(PathFromUtf8(fileName), std::string_view(bytes.constData(), bytes.size()))) {
    error = failed;
    return false;
  }
  return true;
}
