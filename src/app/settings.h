// The eighteen settings of a counter, each named after its key in the settings file, the
// optional line settings of the scale families that can be set otherwise, the optional
// bounds of keyed weights, and the optional central journal.
#pragma once

#include "journal/centralsettings.h"

#include <QString>

#include <cstdint>

struct AppSettings {
    // Section "Varnet"
    QString PrinterName;  // spooler name of the label printer; empty or unknown: no printer
    QString WBarCodeMask; // barcode mask of goods sold by weight
    QString QBarCodeMask; // barcode mask of goods sold by the piece
    bool PrintEI = false; // print unit texts after the values on the label
    QString EIWeight;
    QString EIQuantity;
    QString EICurrency;
    bool Penny = false;   // money has hundredths
    uint32_t RoundTo = 0; // rounding step in the smallest money unit; 0 means one unit
    // Optional: a sound when a label is accepted or refused; written back only when it is off
    // or the file already has it.
    bool Sound = true;
    // Section "Scale"
    int RS232Port = 0; // serial port number; 0: no scale port
    int Type = 0;      // 0 none, 1 OKA, 2 Massa-K, 3 CAS, 4 MT-SICS, 5 continuous output
    // Optional, for types 4 and 5 only; a key that is missing or unreadable leaves the
    // family's usual value, and only a set value is written back.
    uint32_t BaudRate = 0; // 0: not set
    int Parity = -1;       // "N", "O", "E", "M", "S" in the file: 0 to 4; -1 not set
    int DataBits = 0;      // 5 to 8; 0 not set
    int StopBits = -1;     // "1", "1.5", "2" in the file: 0, 1, 2; -1 not set
    // Optional: the heaviest weight an operator may key, in kilograms ("Capacity", a decimal
    // point); 0 not set: the scale's own capacity where it reports one, else 30 kg.
    double Capacity = 0;
    // Optional: weighed goods take their weight from the scale only, never a keyed one
    // ("WeightFromScaleOnly", 0 or 1; off when missing).
    bool WeightFromScaleOnly = false;
    // Section "SQL"
    QString Driver;
    QString Server;
    QString Database;
    QString User;
    QString Password;
    QString SectionID;
    int FindOrder = 0; // 0 by code, 1 by name, 2 by price
    // Section "Journal", optional: read only. The program never writes it; an installer
    // does, and a save of the other sections keeps it as it is.
    CentralJournalSettings Journal;
};
