// The workbook layer against independent tools: files our writers make are read by xlrd and
// openpyxl, files xlwt, openpyxl and xlsxwriter make are read by our readers.

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <sys/resource.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>
#include <optional>

#include "history/workbook/workbook.h"
#include "support/python_tool.h"

using namespace tf::workbook;
using tf::test::RunPython;

using Action = std::function<void()>;
Q_DECLARE_METATYPE(Action)

namespace {

const QString kScripts = QStringLiteral(TALLYFORM_WORKBOOK_TEST_DIR);
// Inputs the fuzzers found, kept with their corpora.
const QString kCorpus = QStringLiteral(TALLYFORM_WORKBOOK_TEST_DIR "/../../fuzz/corpus");

int ErrorOf(const Action& action) {
    try {
        action();
    } catch (const WorkbookError& e) {
        return e.Number();
    }
    return 0;
}

// What the export writes: a header row with a sort marker, records with Chinese texts and a
// 19-digit account kept as text by its leading blank, empty cells, and widths where the first
// column is hidden.
constexpr int kCols = 18;
QString HeaderText(int c) {
    return c == 1 ? QStringLiteral(" 序号▲") : QStringLiteral(" 项目%1").arg(c);
}
QString RecordText(int r, int c) {
    if (c == 5) return {};
    if (c == 3) return QStringLiteral(" 6222021234567890123");
    if (c == 2) return QStringLiteral(" 上海某某贸易有限公司%1").arg(r);
    return QStringLiteral(" %1").arg(r * 100 + c);
}
double WidthOf(int c) {
    return c == 1 ? 0 : c + 3;
}

void WriteHistoryLayout(const QString& path, int records) {
    auto writer = CreateWorkbook(path);
    for (int c = 1; c <= kCols; ++c) writer->SetColumnWidth(c, WidthOf(c));
    writer->Fill({1, 1, 1, kCols}, 13684944);
    writer->Bold({1, 1, 1, kCols});
    writer->Borders({1, 1, records + 1, kCols}, 2);
    for (int c = 1; c <= kCols; ++c) writer->WriteText(1, c, HeaderText(c));
    for (int r = 2; r <= records + 1; ++r)
        for (int c = 1; c <= kCols; ++c)
            if (!RecordText(r, c).isEmpty()) writer->WriteText(r, c, RecordText(r, c));
    writer->Save();
}

// A workbook stream built record by record, for what no Python writer makes: texts split
// anywhere over CONTINUE records, formula results, an embedded chart's own substream.
struct Records {
    QByteArray bytes;
    static QByteArray U16(int v) {
        QByteArray out;
        out.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF));
        return out;
    }
    static QByteArray U32(quint32 v) { return U16(int(v & 0xFFFF)) + U16(int(v >> 16)); }
    static QByteArray Wide(const QString& text) {
        QByteArray out;
        for (const QChar c : text) out += U16(c.unicode());
        return out;
    }
    static QByteArray Cell(int row, int col) { return U16(row) + U16(col) + U16(0); }
    void Add(int type, const QByteArray& data) {
        bytes += U16(type) + U16(int(data.size())) + data;
    }
};

QByteArray HandBuiltStream() {
    const QByteArray bof = QByteArray::fromHex("000605000000000000000000000000");
    Records globals;
    globals.Add(0x0809, bof.left(2) + Records::U16(0x0005) + QByteArray(12, '\0'));
    const qsizetype sheetOffsetAt = globals.bytes.size() + 4;
    globals.Add(0x0085, Records::U32(0) + Records::U16(0) + "\x02\x01" + Records::Wide(u"手工"_qs));
    // "abc中文" turns from 8-bit to 16-bit characters where it continues; "rich" has one
    // formatting run; "音读字" has a phonetic block split between records.
    globals.Add(0x00FC, Records::U32(3) + Records::U32(3) + Records::U16(5) + '\0' + "abc");
    globals.Add(0x003C, '\x01' + Records::Wide(u"中文"_qs) + Records::U16(4) + '\x08' +
                            Records::U16(1) + "rich" + Records::U32(0));
    globals.Add(0x003C,
                Records::U16(3) + '\x05' + Records::U32(6) + Records::Wide(u"音读字"_qs) + "pho");
    globals.Add(0x003C, QByteArray("net"));
    globals.Add(0x000A, {});
    const quint32 offset = quint32(globals.bytes.size());
    globals.bytes.replace(sheetOffsetAt, 4, Records::U32(offset));

    Records sheet;
    sheet.Add(0x0809, bof.left(2) + Records::U16(0x0010) + QByteArray(12, '\0'));
    for (int col = 0; col < 3; ++col) sheet.Add(0x00FD, Records::Cell(0, col) + Records::U32(col));
    const QByteArray noFormula = Records::U16(0) + Records::U32(0) + Records::U16(0);
    sheet.Add(0x0006, Records::Cell(1, 0) + QByteArray::fromHex("000000000000ffff") + noFormula);
    sheet.Add(0x0207, Records::U16(5) + '\0' + "res");
    sheet.Add(0x003C, '\x01' + Records::Wide(u"结果"_qs));
    sheet.Add(0x0006, Records::Cell(1, 1) + QByteArray::fromHex("010001000000ffff") + noFormula);
    sheet.Add(0x0006, Records::Cell(1, 2) + QByteArray::fromHex("020007000000ffff") + noFormula);
    sheet.Add(0x0006, Records::Cell(1, 3) + QByteArray::fromHex("0000000000000440") + noFormula);
    sheet.Add(0x027E, Records::Cell(2, 0) + Records::U32(0x3FF80000));  // 1.5
    // 7 as an integer, 123.45 as 12345 / 100.
    sheet.Add(0x00BD, Records::U16(2) + Records::U16(1) + Records::U16(0) +
                          Records::U32(7 << 2 | 2) + Records::U16(0) +
                          Records::U32(12345 << 2 | 3) + Records::U16(2));
    // An embedded chart: its records belong to the chart, not to the sheet.
    sheet.Add(0x0809, bof.left(2) + Records::U16(0x0020) + QByteArray(12, '\0'));
    sheet.Add(0x00FD, Records::Cell(5, 5) + Records::U32(0));
    sheet.Add(0x000A, {});
    sheet.Add(0x000A, {});
    return globals.bytes + sheet.bytes;
}

// Writes bytes as the named stream of a new compound file.
bool WriteCompoundFile(const QString& path,
                       const QList<std::pair<const char*, QByteArray>>& streams) {
    GsfOutput* sink = gsf_output_stdio_new(QFile::encodeName(path).constData(), nullptr);
    GsfOutfile* ole = sink ? gsf_outfile_msole_new(sink) : nullptr;
    bool ok = ole != nullptr;
    for (const auto& [name, bytes] : streams) {
        GsfOutput* child = ole ? gsf_outfile_new_child(ole, name, FALSE) : nullptr;
        ok = ok && child &&
             gsf_output_write(child, size_t(bytes.size()),
                              reinterpret_cast<const guint8*>(bytes.constData())) &&
             gsf_output_close(child);
        if (child) g_object_unref(child);
    }
    if (ole) ok = gsf_output_close(reinterpret_cast<GsfOutput*>(ole)) && ok;
    if (ole) g_object_unref(ole);
    if (sink) g_object_unref(sink);
    return ok;
}

}  // namespace

class TestWorkbook : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(RunPython({kScripts + u"/make_fixtures.py", dir_.path()}));
        // What a spreadsheet program saves for an .xlsx with a password: a compound file
        // holding the encryption header and the encrypted package instead of a zip.
        QVERIFY(WriteCompoundFile(Path(u"encrypted.xlsx"_qs),
                                  {{"EncryptionInfo", QByteArray(4096, 'Z')},
                                   {"EncryptedPackage", QByteArray(4096, 'Z')}}));
        // Zeros after the records take the stream out of the compound file's small-stream
        // area, which xlrd reads wrongly from files libgsf writes.
        QVERIFY(WriteCompoundFile(Path(u"handmade.xls"_qs),
                                  {{"Workbook", HandBuiltStream().leftJustified(4096, '\0')}}));
    }

    void columnLetters_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("letters");
        QTest::newRow("first") << 1 << u"A"_qs;
        QTest::newRow("remarks column") << 18 << u"R"_qs;
        QTest::newRow("last single") << 26 << u"Z"_qs;
        QTest::newRow("first double") << 27 << u"AA"_qs;
        QTest::newRow("AZ to BA") << 53 << u"BA"_qs;
        QTest::newRow("last double") << 702 << u"ZZ"_qs;
        QTest::newRow("xls last") << 256 << u"IV"_qs;
    }
    void columnLetters() {
        QFETCH(int, n);
        QFETCH(QString, letters);
        QCOMPARE(ColumnLetters(n), letters);
    }

    void writtenLayout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("records");
        QTest::newRow("xls with records") << u"layout.xls"_qs << 3;
        QTest::newRow("xlsx with records") << u"layout.xlsx"_qs << 3;
        QTest::newRow("xls empty history") << u"empty.xls"_qs << 0;
        QTest::newRow("xlsx empty history") << u"empty.xlsx"_qs << 0;
    }
    void writtenLayout() {
        QFETCH(QString, name);
        QFETCH(int, records);
        WriteHistoryLayout(Path(name), records);
        const auto json = RunPython({kScripts + u"/dump_workbook.py", Path(name)});
        QVERIFY(json);
        const QJsonObject dump = QJsonDocument::fromJson(*json).object();
        QCOMPARE(dump[u"rows"].toInt(), records + 1);
        QCOMPARE(dump[u"cols"].toInt(), kCols);
        const QJsonObject cells = dump[u"cells"].toObject();
        for (int r = 1; r <= records + 1; ++r) {
            for (int c = 1; c <= kCols; ++c) {
                const QString at = QStringLiteral("%1,%2").arg(r).arg(c);
                const QJsonObject cell = cells[at].toObject();
                const QString text = r == 1 ? HeaderText(c) : RecordText(r, c);
                QVERIFY2(!cell.isEmpty(), qPrintable(at));
                QCOMPARE(cell[u"text"].toString(), text);
                QCOMPARE(cell[u"type"].toInt(), text.isEmpty() ? (name.endsWith(u"x") ? 0 : 6) : 1);
                QCOMPARE(cell[u"border"].toString(), u"thin"_qs);
                QCOMPARE(cell[u"bold"].toBool(), r == 1);
                QCOMPARE(cell[u"fill"].toString(), r == 1 ? u"d0d0d0"_qs : QString());
            }
        }
        const QJsonObject widths = dump[u"widths"].toObject();
        for (int c = 1; c <= kCols; ++c) {
            const double width = widths[QString::number(c)].toDouble(-1);
            // A spreadsheet stores the width with the cell padding of 5/7 of a character.
            const double expected = WidthOf(c) == 0 ? 0 : WidthOf(c) + 5.0 / 7;
            QVERIFY2(qAbs(width - expected) < 0.02,
                     qPrintable(QStringLiteral("column %1: %2").arg(c).arg(width)));
        }
    }

    void readFixtures_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        for (const QString& ext : {u"xls"_qs, u"xlsx"_qs}) {
            const QString file = u"fixture."_qs + ext;
            auto row = [&](const char* what) -> QTestData& {
                return QTest::newRow(qPrintable(ext + u' ' + QLatin1StringView(what))) << file;
            };
            row("Chinese text") << u"清单"_qs << 2 << 2 << u"上海某某贸易有限公司"_qs;
            row("account as text") << u"清单"_qs << 2 << 3 << u"6222021234567890123"_qs;
            row("account as number") << u"清单"_qs << 3 << 3 << u"6222021234567890000"_qs;
            row("small whole number") << u"清单"_qs << 2 << 1 << u"1"_qs;
            row("15-digit whole number") << u"清单"_qs << 4 << 1 << u"123456789012345"_qs;
            row("fraction") << u"清单"_qs << 3 << 4 << u"1234567890.25"_qs;
            row("tenth") << u"清单"_qs << 4 << 4 << u"0.1"_qs;
            row("negative") << u"清单"_qs << 4 << 5 << u"-3"_qs;
            row("empty cell") << u"清单"_qs << 2 << 5 << QString();
            row("empty text") << u"清单"_qs << 4 << 2 << QString();
            row("far cell") << u"Data 2"_qs << 10 << 26 << u"Z10"_qs;
            row("past the data") << u"Data 2"_qs << 100 << 100 << QString();
            row("empty sheet") << u"空表"_qs << 1 << 1 << QString();
            row("sheet name in other case") << u"data 2"_qs << 10 << 26 << u"Z10"_qs;
        }
        auto cached = [](const char* what) -> QTestData& {
            return QTest::newRow(what) << u"cached.xlsx"_qs;
        };
        cached("number result of a formula") << u"结果"_qs << 1 << 1 << u"2"_qs;
        cached("text result of a formula") << u"结果"_qs << 1 << 2 << u"账号"_qs;
        cached("rich text runs joined") << u"结果"_qs << 1 << 3 << u"中国工商银行"_qs;
        cached("boolean") << u"结果"_qs << 1 << 4 << u"TRUE"_qs;
        cached("large number") << u"结果"_qs << 1 << 5 << u"100000000000000000000"_qs;
        cached("control character") << u"结果"_qs << 2 << 1 << u"a\u0001b"_qs;
        cached("literal escape form") << u"结果"_qs << 2 << 2 << u"_x0041_"_qs;
        // A shared string of 12,327 wide characters over several CONTINUE records, then a
        // short one: FreeXL read the first past its buffer and shifted the second.
        QTest::newRow("xls string over CONTINUE records")
            << u"wide.xls"_qs << u"宽"_qs << 1 << 2 << QString(12327, QChar(u'Ω'));
        QTest::newRow("xls string after a continued one")
            << u"wide.xls"_qs << u"宽"_qs << 1 << 3 << u"x"_qs;
        QTest::newRow("xls cell IV65536")
            << u"far.xls"_qs << u"远"_qs << 65536 << 256 << u"IV65536"_qs;
        for (const QString& ext : {u"xls"_qs, u"xlsx"_qs}) {
            const int lengths[] = {8224, 16437, 32767};
            for (int c = 1; c <= 3; ++c)
                for (int r = 1; r <= 2; ++r)
                    QTest::addRow("%s text of %d %s characters", qPrintable(ext), lengths[c - 1],
                                  r == 1 ? "ASCII" : "CJK")
                        << u"long."_qs + ext << u"长"_qs << r << c
                        << QString(lengths[c - 1] - 1, QChar(r == 1 ? u'a' : u'账')) + u'末';
        }
    }
    void readFixtures() {
        QFETCH(QString, file);
        QFETCH(QString, sheet);
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        auto reader = OpenWorkbook(Path(file));
        reader->SelectSheet(sheet);
        QCOMPARE(reader->CellText(row, col), text);
    }

    // Both formats give a cell the same text; numbers past 15 digits are flagged.
    void valuesAsText_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("inexact");
        for (const QString& file :
             {u"values.xls"_qs, u"values.xlsx"_qs, u"values1904.xls"_qs, u"values1904.xlsx"_qs}) {
            auto row = [&](const char* what) -> QTestData& {
                return QTest::addRow("%s %s", qPrintable(file), what) << file;
            };
            row("date") << 1 << u"2026-12-05"_qs << false;
            row("date and time") << 2 << u"2026-12-07 15:30:00"_qs << false;
            row("time of day") << 3 << u"09:45:30"_qs << false;
            row("boolean") << 4 << u"TRUE"_qs << false;
            row("19-digit number") << 5 << u"6222021234567890000"_qs << true;
            row("16-digit number") << 6 << u"1234567890123456"_qs << true;
            row("15-digit number") << 7 << u"123456789012345"_qs << false;
            // openpyxl writes this double as 0.3.
            if (file.endsWith(u".xls"))
                row("sum of tenths") << 8 << u"0.30000000000000004"_qs << true;
            row("small fraction") << 9 << u"0.000125"_qs << false;
            row("large number") << 10 << u"100000000000000000000"_qs << true;
        }
    }
    void valuesAsText() {
        QFETCH(QString, file);
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(bool, inexact);
        auto reader = OpenWorkbook(Path(file));
        reader->SelectSheet(u"值"_qs);
        auto rows = reader->Rows({1});
        const Cell cell = rows->Read(row).at(0);
        QCOMPARE(cell.text, text);
        QCOMPARE(cell.inexact, inexact);
        QCOMPARE(reader->CellText(row, 1), text);
    }

    // The sample corner is read without reading the rest of the sheet: a sheet part cut
    // short at row 41 gives its first rows, and reports the damage only when read that far.
    void cornerIsReadWithoutTheRest() {
        auto reader = OpenWorkbook(Path(u"damaged_tail.xlsx"_qs));
        reader->SelectSheet(u"尾"_qs);
        QCOMPARE(reader->CellText(10, 1), u"行10"_qs);
        auto rows = reader->Rows({1});
        QCOMPARE(rows->Read(20).at(0).text, u"行20"_qs);
        QCOMPARE(ErrorOf([&] { rows->Read(100); }), int(kDamaged));
    }

    // xlrd is the independent reader of the hand-built stream: it must see what we see.
    void handBuiltRecords() {
        const QString expected =
            u"[[\"abc中文\", \"rich\", \"音读字\", \"\"], [\"res结果\", 1, 7, 2.5], "
            "[1.5, 7.0, 123.45, \"\"]]"_qs;
        const auto xlrd = RunPython(
            {u"-c"_qs,
             u"import json, sys, xlrd; s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0); "
             "print(json.dumps([s.row_values(r) + [''] * (4 - s.row_len(r)) "
             "for r in range(s.nrows)], ensure_ascii=False))"_qs,
             Path(u"handmade.xls"_qs)});
        QVERIFY(xlrd);
        QCOMPARE(QString::fromUtf8(xlrd->trimmed()), expected);
        auto reader = OpenWorkbook(Path(u"handmade.xls"_qs));
        QCOMPARE(reader->SheetNames(), QStringList{u"手工"_qs});
        const QStringList texts{u"abc中文"_qs, u"rich"_qs, u"音读字"_qs,  {},
                                u"res结果"_qs, u"TRUE"_qs, u"#DIV/0!"_qs, u"2.5"_qs,
                                u"1.5"_qs,     u"7"_qs,    u"123.45"_qs,  {}};
        QStringList ours;
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 4; ++c) ours.append(reader->CellText(r, c));
        QCOMPARE(ours, texts);
        QCOMPARE(reader->CellText(6, 6), QString());
    }

    void sheetNames_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("names");
        const QStringList three{u"清单"_qs, u"空表"_qs, u"Data 2"_qs};
        QTest::newRow("xls") << u"fixture.xls"_qs << three;
        QTest::newRow("xlsx") << u"fixture.xlsx"_qs << three;
        QTest::newRow("xlsx of another writer") << u"cached.xlsx"_qs << QStringList{u"结果"_qs};
    }
    void sheetNames() {
        QFETCH(QString, file);
        QFETCH(QStringList, names);
        QCOMPARE(OpenWorkbook(Path(file))->SheetNames(), names);
    }

    void errors_data() {
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("number");
        const QString text = Path(u"notes.txt"_qs);
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("这不是表格\n");
        file.close();
        QFile::copy(text, Path(u"notes.xls"_qs));
        QFile::copy(text, Path(u"notes.xlsx"_qs));
        const QString xls = Path(u"fixture.xls"_qs), xlsx = Path(u"fixture.xlsx"_qs);
        const QString oversized = Path(u"oversized.xls"_qs);
        auto cell = [](QString path, int row, int col) {
            return Action([=] { OpenWorkbook(path)->CellText(row, col); });
        };
        auto write = [this](QString name, int row, int col) {
            return Action([=, this] { CreateWorkbook(Path(name))->WriteText(row, col, u"x"_qs); });
        };
        QTest::newRow("missing xls")
            << Action([=, this] { OpenWorkbook(Path(u"none.xls"_qs)); }) << 5;
        QTest::newRow("missing xlsx")
            << Action([=, this] { OpenWorkbook(Path(u"none.xlsx"_qs)); }) << 5;
        QTest::newRow("folder") << Action([=, this] { OpenWorkbook(dir_.path()); }) << 5;
        QTest::newRow("text named xls")
            << Action([=, this] { OpenWorkbook(Path(u"notes.xls"_qs)); }) << 438;
        QTest::newRow("text named xlsx")
            << Action([=, this] { OpenWorkbook(Path(u"notes.xlsx"_qs)); }) << 438;
        // DIMENSIONS is a hint: a sheet claiming 200,000 rows reads as far as it has cells.
        QTest::newRow("xls DIMENSIONS past the sheet's limits") << cell(oversized, 2, 2) << 0;
        QTest::newRow("shared string longer than its records")
            << Action([] { OpenWorkbook(kCorpus + u"/xls_reader/crash-freexl-sst-length.xls"); })
            << int(kDamaged);
        QTest::newRow("xls with a password")
            << Action([=, this] { OpenWorkbook(Path(u"encrypted.xls"_qs)); }) << int(kEncrypted);
        QTest::newRow("xlsx with a password")
            << Action([=, this] { OpenWorkbook(Path(u"encrypted.xlsx"_qs)); }) << int(kEncrypted);
        QTest::newRow("xlsx cut short")
            << Action([=, this] { OpenWorkbook(Path(u"truncated.xlsx"_qs)); }) << int(kDamaged);
        QTest::newRow("missing sheet xls")
            << Action([=, this] { OpenWorkbook(xls)->SelectSheet(u"无此表"_qs); }) << 9;
        QTest::newRow("missing sheet xlsx")
            << Action([=, this] { OpenWorkbook(xlsx)->SelectSheet(u"无此表"_qs); }) << 9;
        QTest::newRow("read row 0") << cell(xls, 0, 1) << 1004;
        QTest::newRow("read column 0") << cell(xlsx, 1, 0) << 1004;
        QTest::newRow("read column 257 of xls") << cell(xls, 1, 257) << 1004;
        QTest::newRow("read column 256 of xls") << cell(xls, 1, 256) << 0;
        QTest::newRow("read column 16385 of xlsx") << cell(xlsx, 1, 16385) << 1004;
        QTest::newRow("write column 257 of xls") << write(u"w.xls"_qs, 1, 257) << 1004;
        QTest::newRow("write row 65537 of xls") << write(u"w.xls"_qs, 65537, 1) << 1004;
        QTest::newRow("write row 65537 of xlsx") << write(u"w.xlsx"_qs, 65537, 1) << 0;
        QTest::newRow("save into a missing folder")
            << Action([=, this] { CreateWorkbook(Path(u"no/such/w.xlsx"_qs))->Save(); }) << 5;
    }
    void errors() {
        QFETCH(Action, action);
        QFETCH(int, number);
        QCOMPARE(ErrorOf(action), number);
    }

    // A save that fails half-way (here: the file size limit, which binds even root) leaves the
    // old workbook as it was and no temporary file behind.
    void failedSaveKeepsOldFile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("xls") << u"kept.xls"_qs;
        QTest::newRow("xlsx") << u"kept.xlsx"_qs;
    }
    void failedSaveKeepsOldFile() {
        QFETCH(QString, name);
        QTemporaryDir folder;
        const QString path = folder.filePath(name);
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old workbook");
        old.close();

        auto writer = CreateWorkbook(path);
        for (int r = 1; r <= 3000; ++r)
            for (int c = 1; c <= kCols; ++c)
                writer->WriteText(r, c, QStringLiteral("单元格 %1 %2").arg(r).arg(c));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 8 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        const int number = ErrorOf([&] { writer->Save(); });
        setrlimit(RLIMIT_FSIZE, &saved);
        writer.reset();

        QCOMPARE(number, 5);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old workbook"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    }

    // Writing a workbook, saved or abandoned, with or without cells, leaves no file open.
    void writersCloseEveryFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("cells");
        QTest::addColumn<bool>("save");
        for (const QString& name : {u"open.xls"_qs, u"open.xlsx"_qs}) {
            const QString n = name.section(u'.', 1);
            QTest::addRow("%s, empty, saved", qPrintable(n)) << name << false << true;
            QTest::addRow("%s, cells, saved", qPrintable(n)) << name << true << true;
            QTest::addRow("%s, empty, abandoned", qPrintable(n)) << name << false << false;
            QTest::addRow("%s, cells, abandoned", qPrintable(n)) << name << true << false;
        }
    }
    void writersCloseEveryFile() {
        QFETCH(QString, name);
        QFETCH(bool, cells);
        QFETCH(bool, save);
        const auto openFiles = [] {
            return QDir(u"/proc/self/fd"_qs).entryList(QDir::AllEntries | QDir::System).size();
        };
        const qsizetype before = openFiles();
        for (int i = 0; i < 3; ++i) {
            auto writer = CreateWorkbook(Path(name));
            if (cells) {
                writer->Borders({1, 1, 2, 2}, 2);
                writer->WriteText(1, 1, u"账号"_qs);
            }
            if (save) writer->Save();
        }
        QCOMPARE(openFiles(), before);
    }
};

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
