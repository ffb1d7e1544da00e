#pragma once

#include <QAccessible>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace tv::test {

// Walks the accessible objects under root, root included, depth first; a list's items are left
// out (they are many and none of the program's own).
inline void ForEachAccessible(QAccessibleInterface* root,
                              const std::function<void(QAccessibleInterface*)>& visit) {
    if (root == nullptr) {
        return;
    }
    visit(root);
    if (root->role() == QAccessible::List || root->role() == QAccessible::Tree ||
        root->role() == QAccessible::Table) {
        return;
    }
    for (int i = 0; i < root->childCount(); ++i) {
        ForEachAccessible(root->child(i), visit);
    }
}

// The names of the objects of window that report the keyboard focus.
inline QStringList FocusedObjects(QWidget* window) {
    QStringList focused;
    ForEachAccessible(QAccessible::queryAccessibleInterface(window),
                      [&](QAccessibleInterface* each) {
                          if (each->state().focused) {
                              focused << each->text(QAccessible::Name);
                          }
                      });
    return focused;
}

// The names under window that still carry a mnemonic marker: "&", or a key in parentheses as
// "単位変換(U)".
inline QStringList NamesWithMnemonics(QWidget* window) {
    static const QRegularExpression marker(QStringLiteral("&|[(\\x{FF08}][A-Z][)\\x{FF09}]"));
    QStringList names;
    ForEachAccessible(QAccessible::queryAccessibleInterface(window),
                      [&](QAccessibleInterface* each) {
                          const QString name = each->text(QAccessible::Name);
                          if (name.contains(marker)) {
                              names << name;
                          }
                      });
    return names;
}

} // namespace tv::test
