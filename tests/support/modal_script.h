#pragma once
// Answers the modal windows a command opens, one step per window, in order.
#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

#include <gtest/gtest.h>

namespace qm::test {

class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;

    ModalScript() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    ModalScript& Then(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    int Answered() const { return answered_; }
    bool Done() const { return steps_.empty(); }
    // Texts of the message boxes answered, in order.
    QStringList messages;

private:
    void Poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w->property("qm_scripted").toBool()) return;
        w->setProperty("qm_scripted", true);
        if (auto* box = qobject_cast<QMessageBox*>(w)) messages << box->text();
        if (steps_.empty()) {
            // Unexpected window: record it and close it so the test does not hang.
            messages << QStringLiteral("<unexpected %1>").arg(w->objectName());
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->reject();
            else if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            return;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        ++answered_;
        step(w);
    }

    QTimer timer_;
    std::deque<Step> steps_;
    int answered_ = 0;
};

// Steps for the usual answers.
inline ModalScript::Step PressButton(const char* objectName) {
    return [name = QString::fromLatin1(objectName)](QWidget* w) {
        if (auto* b = w->findChild<QAbstractButton*>(name)) b->click();
    };
}

inline ModalScript::Step AnswerBox(QMessageBox::StandardButton button) {
    return [button](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (QAbstractButton* b = box->button(button))
                b->click();
            else
                box->reject();
        }
    };
}

// AnswerBox that first notes which button the box had as its default.
inline ModalScript::Step AnswerBoxNotingDefault(QMessageBox::StandardButton button,
                                                QMessageBox::StandardButton& defaultButton) {
    return [button, &defaultButton](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w))
            defaultButton = box->standardButton(box->defaultButton());
        AnswerBox(button)(w);
    };
}

// Answers a text or item input dialog with `text` (empty: its current value).
inline ModalScript::Step AnswerInput(const QString& text = {}) {
    return [text](QWidget* d) {
        auto* input = qobject_cast<QInputDialog*>(d);
        if (!input) {
            ADD_FAILURE() << "not an input dialog: " << d->metaObject()->className();
            if (auto* dialog = qobject_cast<QDialog*>(d)) dialog->reject();
            return;
        }
        if (!text.isEmpty()) input->setTextValue(text);
        input->accept();
    };
}

} // namespace qm::test
