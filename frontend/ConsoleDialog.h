// The modeless "Console" window: the console text as it was when the window
// opened, under a title band. It covers the frame, which takes no input
// while it is open; once it is closed the owner is told (identifier 258,
// code 2) and resumes the engine.
#pragma once

#include "common/zorvan/String.h"
#include "frontend/ModelessDialog.h"

class QPlainTextEdit;

class ConsoleDialog : public ModelessDialog {
    Q_OBJECT
public:
    static constexpr int DialogId = 258;
    static constexpr int TextBoxId = 1006;

    ConsoleDialog();

    // Reads the console and shows the dialog over owner (null: the engine's
    // frame window), which is disabled until the dialog closes.
    void Show(QWidget *owner = nullptr);
    Zorvan::String const &GetTitle() const { return m_title; }
    QPlainTextEdit *GetTextBox() const { return m_text; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    Zorvan::String m_title;
    QPlainTextEdit *m_text;
};
