// The eighteen settings of a counter, each named after its key in the settings file.
#pragma once

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
    // Section "Scale"
    int RS232Port = 0; // serial port number; 0: no scale port
    int Type = 0;      // 0 none, 1 OKA, 2 Massa-K, 3 CAS
    // Section "SQL"
    QString Driver;
    QString Server;
    QString Database;
    QString User;
    QString Password;
    QString SectionID;
    int FindOrder = 0; // 0 by code, 1 by name, 2 by price
};
