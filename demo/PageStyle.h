// The dark style sheet shared by the function pages.
#ifndef PAGESTYLE_H
#define PAGESTYLE_H

class QWidget;

void ApplyPageStyle(QWidget* page);

#endif
