#pragma once
// The statements the label program sends to the database. Names and texts
// come from the operator and the database: they are always quoted as data,
// never pasted in as SQL.

#include <QString>
#include <optional>

// A name in brackets; a "]" inside it is doubled.
inline QString QuoteName(QString name) {
    return QStringLiteral("[") + name.replace(QStringLiteral("]"), QStringLiteral("]]")) +
           QStringLiteral("]");
}

// A text in double quotes; a double quote inside it is doubled.
inline QString QuoteText(QString text) {
    return QStringLiteral("\"") + text.replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
           QStringLiteral("\"");
}

// Every column of a table, for its field list.
inline QString TableStatement(const QString& table) {
    return QStringLiteral("select * from ") + QuoteName(table);
}

// The barcode and label-name columns of a table as NUM and Title, narrowed
// to the records whose barcode contains `barcodePart` and whose name
// contains `namePart` when those are given (an empty part keeps the records
// whose value is not null).
inline QString RecordsStatement(const QString& table, const QString& barcode, const QString& label,
                                const std::optional<QString>& barcodePart = std::nullopt,
                                const std::optional<QString>& namePart = std::nullopt) {
    QString where;
    if (barcodePart)
        where = QuoteName(barcode) + QStringLiteral(" like ") +
                QuoteText(QStringLiteral("%") + *barcodePart + QStringLiteral("%"));
    if (namePart) {
        const QString cond = QuoteName(label) + QStringLiteral(" like ") +
                             QuoteText(QStringLiteral("%") + *namePart + QStringLiteral("%"));
        where = where.isEmpty() ? cond : where + QStringLiteral(" and ") + cond;
    }
    QString statement = QStringLiteral("select ") + QuoteName(barcode) +
                        QStringLiteral(" as [NUM],") + QuoteName(label) +
                        QStringLiteral(" as [Title] from ") + QuoteName(table);
    if (!where.isEmpty()) statement += QStringLiteral(" where ") + where;
    return statement;
}
