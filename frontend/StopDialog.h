// The "Stop" question of the Exit command while a game runs: close the game
// only, or leave the program.
#pragma once

#include <QDialog>

class QRadioButton;

class StopDialog : public QDialog {
    Q_OBJECT
public:
    enum Choice { CloseGame = 1066, ExitQuintar = 1067 };

    // "Close Game" is preselected while a game runs, "Exit Quintar" otherwise.
    StopDialog(QWidget *parent, bool running);

    Choice GetChoice() const;
    void SetChoice(Choice choice);

private:
    QRadioButton *m_closeGame;
    QRadioButton *m_exitQuintar;
};
