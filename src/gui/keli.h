#pragma once
// Placeholder main window until the application shell is built.
#include <QMainWindow>

class Keli : public QMainWindow
{
    Q_OBJECT
public:
    explicit Keli(QWidget *parent = nullptr) : QMainWindow(parent) {}
};
