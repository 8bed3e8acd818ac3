// Base of everything that has a message map: windows and the application object.
#pragma once

#include "MessageMap.h"

class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    static const MessageMap messageMap;
    virtual const MessageMap* GetMessageMap() const { return &messageMap; }
};
