#include "tabl.h"
#include "ui_tabl.h"

#include "cuttexttooltip.h"
#include "screenfit.h"

#include "core/helpers.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPersistentModelIndex>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

enum Column {
    ColName, ColKind, ColMeterCount, ColType, ColEnergy, ColFill, ColTan, ColOffDays, ColCtClass,
    ColVtClass, ColMeterClass, ColVerification, ColCtVoltage, ColCtCurrent, ColVtLoss, ColReportVoltage,
    ColumnCount
};

const QStringList &headerTexts()
{
    static const QStringList texts = {
        QStringLiteral("Наименование ТУ"), QStringLiteral("Вид "), QStringLiteral("Кол.\nсчетчиков"),
        QStringLiteral("Тип"), QStringLiteral("W,\nтыс.кВт.ч"), QStringLiteral("КЗ"),
        QStringLiteral("tg фи"), QStringLiteral("Откл.\nдн."), QStringLiteral("Кл.ТТ"),
        QStringLiteral("Кл.ТН"), QStringLiteral("Кл.Сч."), QStringLiteral("Дата\nповерки"),
        QStringLiteral("Uтт"), QStringLiteral("Iном.ТТ"), QStringLiteral("dUтн "), QStringLiteral("Uотч")};
    return texts;
}

// Cells of a row made by "Вставить строку"; the name gets the row's position appended.
QStringList insertedRowCells(int position)
{
    return {QStringLiteral("Новая ТУ_") + QString::number(position), QStringLiteral("Р"),
            QStringLiteral("1"), QStringLiteral("Э"), QStringLiteral("0"), QStringLiteral("0.65"),
            QStringLiteral("0.5"), QStringLiteral("0"), QStringLiteral("0.5"), QStringLiteral("0.5"),
            QStringLiteral("1.0"), QStringLiteral("3.04"), QStringLiteral("110"), QStringLiteral("200"),
            QStringLiteral("0.25"), QStringLiteral("110")};
}

bool isWholeColumn(int column) { return column == ColOffDays || column == ColCtCurrent; }

// Column of the source workbook a grid column is saved in (0 for the name and the code columns).
int workbookColumn(int column)
{
    static const int columns[ColumnCount] = {0, 0, 2, 0, 12, 13, 16, 14, 4, 5, 6, 7, 9, 8, 11, 10};
    return column >= 0 && column < ColumnCount ? columns[column] : 0;
}

bool isNumberColumn(int column) { return workbookColumn(column) != 0; }

// The number a cell's text holds; false for text that is not a number (in a whole-number column,
// a fraction neither). An empty cell is 0.
bool cellNumber(const QString &text, double *value, int column = -1)
{
    *value = 0;
    if (text.trimmed().isEmpty())
        return true;
    if (keli::parseNumber(text, value) && (!isWholeColumn(column) || *value == std::trunc(*value)))
        return true;
    *value = 0;
    return false;
}

// Latin letters that look like the Cyrillic ones of the codes, as typed on a Latin layout.
QString cyrillicLookalike(QString typed)
{
    typed = typed.toUpper();
    const QString latin = QStringLiteral("PTCHX");
    const QString cyrillic = QStringLiteral("РТСНХ");
    for (QChar &c : typed)
        if (latin.contains(c))
            c = cyrillic.at(latin.indexOf(c));
    return typed;
}

// A cell of a numeric column. Header sorting compares the numbers, read as the commit reads them
// (text that does not convert counts 0), so that "20.000" comes before "100.000"; the text shown is
// left as it is.
class NumericItem : public QTableWidgetItem
{
public:
    NumericItem(const QString &text, bool whole) : QTableWidgetItem(text, UserType), whole(whole) {}

    QTableWidgetItem *clone() const override { return new NumericItem(*this); }

    bool operator<(const QTableWidgetItem &other) const override
    {
        return value(text()) < value(other.text());
    }

private:
    double value(const QString &text) const
    {
        double v = 0;
        cellNumber(text, &v);
        return whole ? keli::round(v, 0) : v;
    }

    bool whole;
};



// A new item for a cell of the grid: numeric columns sort by value, the others by text.
QTableWidgetItem *newCellItem(int column, const QString &text)
{
    if (column == ColName || column == ColKind || column == ColType)
        return new QTableWidgetItem(text);
    return new NumericItem(text, isWholeColumn(column));
}

// "Shortest form, 6 significant digits" and the fixed-point forms of the grid.
QString shortest(double value) { return QString::number(value, 'g', 6); }
QString fixedPoint(double value, int decimals) { return QString::number(value, 'f', decimals); }

// Turns the grid's sorting off while cells are written, so a row being written is not moved by
// the sort before all its cells are in. Afterwards sorting is on again with no sort column: the
// rows stay where they were written until the user clicks a header.
class SortingSuspended
{
public:
    explicit SortingSuspended(QTableWidget *view) : view(view), wasEnabled(view->isSortingEnabled())
    {
        view->setSortingEnabled(false);
    }
    ~SortingSuspended()
    {
        if (!wasEnabled)
            return;
        view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        view->setSortingEnabled(true);
    }
    SortingSuspended(const SortingSuspended &) = delete;
    SortingSuspended &operator=(const SortingSuspended &) = delete;

private:
    QTableWidget *view;
    bool wasEnabled;
};

// Calls back when the grid's viewport is shown or resized.
class ViewportWatcher : public QObject
{
public:
    ViewportWatcher(std::function<void()> changed, QObject *parent)
        : QObject(parent), changed(std::move(changed))
    {
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            changed();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> changed;
};

// Keeps the entries of column at the indexes where keep is true.
template <typename Sequence>
void keepWhere(Sequence &column, const QVector<bool> &keep)
{
    Sequence kept;
    kept.reserve(column.size());
    for (int i = 0; i < column.size(); ++i)
        if (i >= keep.size() || keep[i])
            kept.append(column[i]);
    column = kept;
}

// Inserts block into column at index at.
template <typename Sequence>
void insertBlock(Sequence &column, int at, const Sequence &block)
{
    at = std::clamp(at, 0, int(column.size()));
    Sequence joined = column.mid(0, at);
    joined += block;
    joined += column.mid(at);
    column = joined;
}

} // namespace

Tabl::Tabl(int month, int year, int periodDays, int table, bool settlement,
           int &nPost, int &nOtp, int &nOtps, const QString &caption,
           QVector<QString> &name, QVector<QString> &pointKind, QVector<QString> &meterType,
           QVector<double> &ctClass, QVector<double> &vtClass, QVector<double> &energy,
           QVector<double> &tanPhi, QVector<double> &fillFactor, QVector<double> &vtVoltageLoss,
           QVector<double> &verificationDate, QVector<double> &meterCount, QVector<double> &meterClass,
           QVector<double> &ctVoltage, QVector<double> &reportVoltage,
           QVector<int> &ctRatedCurrent, QVector<int> &pointDays, QVector<int> &offDays,
           QVector<int> &tableNo, QVector<int> &spare,
           QWidget *parent)
    : QDialog(parent),
      m_name(name), m_pointKind(pointKind), m_meterType(meterType),
      m_ctClass(ctClass), m_vtClass(vtClass), m_energy(energy), m_tanPhi(tanPhi),
      m_fillFactor(fillFactor), m_vtVoltageLoss(vtVoltageLoss), m_verificationDate(verificationDate),
      m_meterCount(meterCount), m_meterClass(meterClass), m_ctVoltage(ctVoltage),
      m_reportVoltage(reportVoltage),
      m_ctRatedCurrent(ctRatedCurrent), m_pointDays(pointDays), m_offDays(offDays),
      m_tableNo(tableNo), m_spare(spare),
      ui(new Ui::Tabl), month(month), year(year), periodDays(periodDays), table(table),
      settlement(settlement), nPost(nPost), nOtp(nOtp), nOtps(nOtps), caption(caption)
{
    ui->setupUi(this);
    QTableWidget *view = ui->view;
    view->viewport()->installEventFilter(new ViewportWatcher([this] { addComboBoxesInView(); }, this));
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { addComboBoxesInView(); });
    connect(view->model(), &QAbstractItemModel::layoutChanged, this, [this] { addComboBoxesInView(); });
    connect(view->model(), &QAbstractItemModel::rowsRemoved, this, [this] { addComboBoxesInView(); });
    new keli::CutTextToolTip(view);
    view->installEventFilter(this);
    connect(view, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) { markNumberCell(item); });
    keli::fitToScreen(this, view);
    ui->lbZag->setText(caption);
    ui->lbRp->setText(QStringLiteral("Расчетный период: ") + QString::number(month) + QLatin1Char('/')
                      + QString::number(year));
}

Tabl::~Tabl()
{
    delete ui;
    ui = nullptr; // the grid's signals may still arrive while the widgets go
}

const QStringList &Tabl::kindCodes()
{
    static const QStringList codes = {QStringLiteral("Р"), QStringLiteral("Т"), QStringLiteral("СН"),
                                      QStringLiteral("ПХН")};
    return codes;
}

const QStringList &Tabl::meterTypeCodes()
{
    static const QStringList codes = {QStringLiteral("И"), QStringLiteral("Э")};
    return codes;
}

int Tabl::tableStart() const
{
    switch (table) {
    case 1: return 0;
    case 2: return nPost;
    default: return nPost + nOtp;
    }
}

void Tabl::panTab()
{
    QTableWidget *view = ui->view;
    SortingSuspended unsorted(view);
    view->setColumnCount(ColumnCount);
    view->setHorizontalHeaderLabels(headerTexts());
    view->setRowCount(int(m_tableNo.count(table)));
    // The table's rows in their stored order.
    int row = 0;
    for (int i = 0; i < m_tableNo.size(); ++i)
        if (m_tableNo[i] == table)
            setRowCells(row++, storedCells(i));
    fitColumnsToContents();
    // The rows the view can show at first; the rest get theirs when they come into view.
    addComboBoxes(0, view->height() / std::max(view->verticalHeader()->defaultSectionSize(), 1));
}

void Tabl::fitColumnsToContents()
{
    // Each column as wide as its header and its widest cell, never narrower than its given width
    // and no name column wider than kWidestName px (a longer name shows whole as a tool tip). The
    // grid scrolls sideways when the columns are wider than the window; widening one column by hand
    // leaves the others as they are.
    constexpr int kWidestName = 420;
    QTableWidget *view = ui->view;
    const int given[ColumnCount] = {150, 0, 100, 0, 0, 0, 0, 28};
    const int byDefault = view->horizontalHeader()->defaultSectionSize();
    for (int c = 0; c < ColumnCount; ++c) {
        view->resizeColumnToContents(c);
        int width = std::max(view->columnWidth(c), given[c] > 0 ? given[c] : byDefault);
        if (c == ColName)
            width = std::min(width, std::max(kWidestName, given[c]));
        view->setColumnWidth(c, width);
    }
}

QStringList Tabl::storedCells(int i) const
{
    QStringList cells = shownCells(i);
    const QMap<int, QString> notNumbers = m_nonNumeric.value(i);
    for (int c = 0; c < ColumnCount; ++c)
        if (notNumbers.contains(workbookColumn(c)))
            cells[c] = notNumbers.value(workbookColumn(c));
    return cells;
}

QStringList Tabl::shownCells(int i) const
{
    return {m_name[i],
            m_pointKind[i].trimmed(),
            shortest(m_meterCount[i]),
            m_meterType[i].trimmed(),
            fixedPoint(m_energy[i], 3),
            shortest(m_fillFactor[i]),
            shortest(m_tanPhi[i]),
            QString::number(m_offDays[i]),
            shortest(m_ctClass[i]),
            shortest(m_vtClass[i]),
            shortest(m_meterClass[i]),
            fixedPoint(m_verificationDate[i], 2),
            shortest(m_ctVoltage[i]),
            QString::number(m_ctRatedCurrent[i]),
            shortest(m_vtVoltageLoss[i]),
            shortest(m_reportVoltage[i])};
}

void Tabl::setRowCells(int row, const QStringList &cells)
{
    for (int c = 0; c < ColumnCount; ++c) {
        QTableWidgetItem *item = newCellItem(c, cells[c]);
        if (c == ColKind || c == ColType) {
            // Holds the code the combo box shows, so that sorting by this column sorts by the codes;
            // not editable, the box above it is the editor.
            const QStringList &codes = c == ColKind ? kindCodes() : meterTypeCodes();
            if (!codes.contains(cells[c]))
                item->setText(QString());
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        }
        ui->view->setItem(row, c, item);
        markNumberCell(item);
    }
}

void Tabl::markNumberCell(QTableWidgetItem *item)
{
    if (!item || !isNumberColumn(item->column()))
        return;
    double value = 0;
    const bool number = cellNumber(item->text(), &value, item->column());
    const QString mark = QStringLiteral("Не число: в этой ячейке должно быть число");
    if (number == (item->toolTip() != mark))
        return; // already as it should be (writing it again would signal a change again)
    item->setBackground(number ? QBrush() : QBrush(QColor(255, 200, 200)));
    item->setToolTip(number ? QString() : mark);
}

bool Tabl::selectCodeByTyping(int row, int column, const QString &typed)
{
    auto *combo = qobject_cast<QComboBox *>(ui->view->cellWidget(row, column));
    if (!combo) {
        addComboBoxes(row, row);
        combo = qobject_cast<QComboBox *>(ui->view->cellWidget(row, column));
    }
    const QStringList &codes = column == ColKind ? kindCodes() : meterTypeCodes();
    const QString wanted = cyrillicLookalike(typed);
    for (int k = 0; k < codes.size(); ++k) {
        if (codes[k].startsWith(wanted) || (column == ColKind && wanted == QStringLiteral("Х") && k == 3)) {
            if (combo)
                combo->setCurrentIndex(k);
            return true;
        }
    }
    return false;
}

bool Tabl::eventFilter(QObject *watched, QEvent *event)
{
    const auto *combo = qobject_cast<QComboBox *>(watched);
    if (ui && (watched == ui->view || combo) && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // The cell of the box typed on, else the grid's current cell.
        const QModelIndex current = combo ? ui->view->indexAt(combo->geometry().center()) : ui->view->currentIndex();
        const bool codeColumn = current.isValid() && (current.column() == ColKind || current.column() == ColType);
        const QString typed = key->text().trimmed();
        if (codeColumn && !typed.isEmpty() && typed.at(0).isPrint()
            && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            if (!selectCodeByTyping(current.row(), current.column(), typed)) {
                QApplication::beep();
                const QString codes = (current.column() == ColKind ? kindCodes() : meterTypeCodes())
                                          .join(QStringLiteral(", "));
                QToolTip::showText(ui->view->viewport()->mapToGlobal(ui->view->visualRect(current).bottomLeft()),
                                   QStringLiteral("«%1» не подходит: выберите %2").arg(typed, codes), ui->view);
            }
            return true; // taken here: never a search that moves the current cell
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tabl::addComboBoxes(int first, int last)
{
    QTableWidget *view = ui->view;
    const QString styleSheet = QStringLiteral("QWidget {background-color:white; border:0px;}");
    for (int row = std::max(first, 0); row <= last && row < view->rowCount(); ++row) {
        for (int column : {int(ColKind), int(ColType)}) {
            if (view->cellWidget(row, column))
                continue;
            const QStringList &codes = column == ColKind ? kindCodes() : meterTypeCodes();
            const QTableWidgetItem *code = view->item(row, column);
            auto *combo = new QComboBox(this);
            combo->setEditable(false);
            combo->setStyleSheet(styleSheet);
            combo->addItems(codes);
            combo->installEventFilter(this); // typed characters select as on the grid
            combo->setCurrentIndex(code ? codes.indexOf(code->text()) : -1); // -1: no selection
            view->setCellWidget(row, column, combo);
            // The box is the cell's widget and moves with its row when the grid is sorted; the
            // item under it follows its text.
            const QPersistentModelIndex cell(view->model()->index(row, column));
            connect(combo, &QComboBox::currentTextChanged, view, [view, cell](const QString &text) {
                if (QTableWidgetItem *item = cell.isValid() ? view->item(cell.row(), cell.column()) : nullptr)
                    item->setText(text);
            });
        }
    }
}

void Tabl::addComboBoxesInView()
{
    // A combo box with a style sheet costs about a millisecond to make, so a large table gets its
    // boxes as its rows come into view (a few rows around the view as margin).
    if (!ui || ui->view->rowCount() == 0 || ui->view->viewport()->height() <= 0)
        return;
    QTableWidget *view = ui->view;
    const int margin = 4;
    const int first = view->rowAt(0);
    int last = view->rowAt(view->viewport()->height() - 1);
    if (last < 0)
        last = view->rowCount() - 1;
    addComboBoxes(std::max(first, 0) - margin, last + margin);
}

QStringList Tabl::rowCells(int row) const
{
    QStringList cells;
    cells.reserve(ColumnCount);
    for (int c = 0; c < ColumnCount; ++c) {
        const auto *combo = qobject_cast<const QComboBox *>(ui->view->cellWidget(row, c));
        const QTableWidgetItem *item = ui->view->item(row, c);
        cells.append(combo ? combo->currentText() : item ? item->text() : QString());
    }
    return cells;
}

void Tabl::on_pbIns_clicked()
{
    // Below the current row, or at the end when there is none.
    QTableWidget *view = ui->view;
    const int current = view->currentRow();
    const int row = current < 0 ? view->rowCount() : current + 1;
    SortingSuspended unsorted(view);
    view->insertRow(row);
    setRowCells(row, insertedRowCells(row + 1));
    addComboBoxes(row, row);
}

void Tabl::on_pbCopy_clicked()
{
    QTableWidget *view = ui->view;
    const int source = view->currentRow();
    if (source < 0)
        return;
    const QStringList cells = rowCells(source);
    SortingSuspended unsorted(view);
    view->insertRow(source + 1);
    setRowCells(source + 1, cells);
    addComboBoxes(source + 1, source + 1);
}

void Tabl::on_pbDel_clicked()
{
    // There is no undo: the row goes only when the user says so.
    const int row = ui->view->currentRow();
    if (row < 0)
        return;
    const QTableWidgetItem *name = ui->view->item(row, ColName);
    const QString question = QStringLiteral("Удалить строку %1 «%2»?")
                                 .arg(row + 1)
                                 .arg(name ? name->text().trimmed() : QString());
    if (prompts.askYesNo(QStringLiteral("КЕЛИ-ст"), question))
        ui->view->removeRow(row);
}

void Tabl::on_view_cellPressed(int row, int column)
{
    // Half the VT class fills an empty dU cell only: a typed value stays.
    const QTableWidgetItem *current = ui->view->item(row, column);
    if (column != ColVtLoss || (current && !current->text().trimmed().isEmpty()))
        return;
    const QTableWidgetItem *vtClassItem = ui->view->item(row, ColVtClass);
    double vtClass = 0;
    cellNumber(vtClassItem ? vtClassItem->text() : QString(), &vtClass);
    const double half = keli::round(vtClass / 2, 2);
    ui->view->setItem(row, ColVtLoss, newCellItem(ColVtLoss, shortest(half)));
}

void Tabl::on_Tabl_finished(int)
{
    // A cell still being typed in shows its new text: moving the current cell away finishes
    // that edit into the grid before the grid is read.
    ui->view->setCurrentIndex(QModelIndex());

    // The grid, in the order it shows the rows, becomes the edited table's block.
    const int rows = ui->view->rowCount();
    QVector<QString> name, pointKind, meterType;
    QVector<double> ctClass, vtClass, energy, tanPhi, fillFactor, vtVoltageLoss, verificationDate,
        meterCount, meterClass, ctVoltage, reportVoltage;
    QVector<int> ctRatedCurrent, offDays;
    QVector<QMap<int, QString>> notNumbers(rows);
    QStringList badCells;
    for (int k = 0; k < rows; ++k) {
        const QStringList cells = rowCells(k);
        // A number cell's value; text that is not a number is kept as such and counts 0.
        const auto number = [&](int c) {
            double v = 0;
            if (!cellNumber(cells[c], &v, c)) {
                notNumbers[k].insert(workbookColumn(c), cells[c]);
                badCells << QStringLiteral("строка %1, столбец «%2»: «%3»")
                                .arg(k + 1)
                                .arg(headerTexts().at(c).simplified(), cells[c]);
            }
            return v;
        };
        const auto whole = [&](int c) { return int(keli::round(number(c), 0)); };
        name.append(cells[ColName]);
        pointKind.append(cells[ColKind]);
        meterCount.append(number(ColMeterCount));
        meterType.append(cells[ColType]);
        energy.append(number(ColEnergy));
        fillFactor.append(number(ColFill));
        tanPhi.append(number(ColTan));
        offDays.append(whole(ColOffDays));
        ctClass.append(number(ColCtClass));
        vtClass.append(number(ColVtClass));
        meterClass.append(number(ColMeterClass));
        verificationDate.append(number(ColVerification));
        ctVoltage.append(number(ColCtVoltage));
        ctRatedCurrent.append(whole(ColCtCurrent));
        vtVoltageLoss.append(number(ColVtLoss));
        reportVoltage.append(number(ColReportVoltage));
    }

    // Drop the table's old rows from the seventeen sequences (pointDays and spare are carried as
    // they are), then put the new block where the table starts.
    QVector<bool> keep(m_tableNo.size());
    for (int i = 0; i < m_tableNo.size(); ++i)
        keep[i] = m_tableNo[i] != table;
    const int start = tableStart();
    const auto replace = [&](auto &column, const auto &block) {
        keepWhere(column, keep);
        insertBlock(column, start, block);
    };
    replace(m_name, name);
    replace(m_pointKind, pointKind);
    replace(m_meterType, meterType);
    replace(m_ctClass, ctClass);
    replace(m_vtClass, vtClass);
    replace(m_energy, energy);
    replace(m_tanPhi, tanPhi);
    replace(m_fillFactor, fillFactor);
    replace(m_vtVoltageLoss, vtVoltageLoss);
    replace(m_verificationDate, verificationDate);
    replace(m_meterCount, meterCount);
    replace(m_meterClass, meterClass);
    replace(m_ctVoltage, ctVoltage);
    replace(m_reportVoltage, reportVoltage);
    replace(m_ctRatedCurrent, ctRatedCurrent);
    replace(m_offDays, offDays);
    m_nonNumeric.resize(m_tableNo.size());
    replace(m_nonNumeric, notNumbers);
    replace(m_tableNo, QVector<int>(rows, table));

    switch (table) {
    case 1: nPost = rows; break;
    case 2: nOtp = rows; break;
    default: nOtps = rows; break;
    }
    if (!badCells.isEmpty()) {
        prompts.inform(QStringLiteral(" "),
                       QStringLiteral("Не числа в числовых ячейках (сохраняются как введены, расчет "
                                      "невозможен, пока они не исправлены):\n")
                           + badCells.mid(0, 10).join(QLatin1Char('\n')));
    }
}
