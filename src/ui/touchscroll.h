// Kinetic scrolling for lists on a touch screen: a finger's swipe scrolls the list and lets
// it run on and slow down, as phones do; a tap still chooses a row.
#pragma once

class QAbstractItemView;

// Makes the list scroll by swipes of the left button or a finger, pixel by pixel.
void EnableSwipeScrolling(QAbstractItemView* view);
