#pragma once
// Connects controls to handlers, as pages and the update panel wire them: check boxes run their
// handler on every change of state (also by program), radio buttons when they become checked,
// push buttons on click; key presses reach a KeyDown handler as virtual-key codes.

#include <QObject>
#include <functional>

#include "app/KeyRoute.h"

class QAbstractButton;
class QWidget;

namespace qv {

using ClickHandler = std::function<void(QObject* sender)>;

// `owner` is the handler's object: the connection ends with it.
void ConnectClick(QObject* owner, QAbstractButton* control, ClickHandler handler);
void RouteKeyDown(QWidget* control, KeyRoute::Handler handler);

template <class Owner>
void ConnectClick(Owner* owner, QAbstractButton* control, void (Owner::*handler)(QObject*)) {
    ConnectClick(static_cast<QObject*>(owner), control,
                 [owner, handler](QObject* sender) { (owner->*handler)(sender); });
}

template <class Owner>
void RouteKeyDown(Owner* owner, QWidget* control, void (Owner::*handler)(QObject*, int)) {
    RouteKeyDown(control,
                 [owner, handler](QObject* sender, int key) { (owner->*handler)(sender, key); });
}

}  // namespace qv
