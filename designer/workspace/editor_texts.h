#pragma once
// The string-table ids of the event, timer and expression editors' texts: window titles and the messages their
// checks show. Tests compare a message box with the text of its id, never with wording.
#include <cstdint>
#include <string>

enum EditorText : uint32_t {
    kIdsEditorErrorCaption = 21000, // the caption of every error box of the editors
    kIdsNewEventTitle = 21001,
    kIdsEditEventTitle = 21002,
    kIdsValidName = 21003,       // the name is empty
    kIdsUniqueName = 21004,      // another object bears the name
    kIdsEmptyExpression = 21005, // no expression text, or a target of fewer than two characters
    kIdsCannotInterpret = 21006, // the expression does not compile
    kIdsTargetNotFound = 21007,  // the target property is not known to the world
    kIdsValidValue = 21008,      // a number the field cannot take
    kIdsNewExpressionTitle = 21009,
    kIdsEditExpressionTitle = 21010,
    kIdsHideActionTitle = 21011, // the hide action's details
    kIdsShowActionTitle = 21012, // the show action's details
    kIdsWarningCaption = 21013,  // the caption of a question that warns
    kIdsNoSuchProperty = 21014,  // the message was declared a property, but none exists: save anyway?
    kIdsActionColumn = 21015,    // "Action"
    kIdsBlockingColumn = 21016,  // "Blocking"
    kIdsInterlaced = 21017,      // the interlaced stereo technique
    kIdsColorCoding = 21018,     // the colour-coding stereo technique
    kIdsPageSolid = 21019,       // the colour-effect pages, in page order
    kIdsPageTexture = 21020,
    kIdsPageLinear = 21021,
    kIdsPageRadial = 21022,
    kIdsPageCorner = 21023,
    kIdsPageChecker = 21024,
    kIdsValidCompareValue = 21025, // the condition's compare-with text is neither a number nor a property
    kIdsTestedNotObject = 21026,   // the property to test is not written as object.property
    kIdsTestedNoObject = 21027,    // it names an object that is not there: %s the object
    kIdsTestedNoProperty = 21028,  // the object it names has no such property: %s the object, %s the property
    kIdsIntervalKept = 21029,      // after kIdsValidValue: %s the interval the timer keeps
};

// The text of id, registered with the editors' templates; empty when absent.
std::string EditorTextOf(uint32_t id);
