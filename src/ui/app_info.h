#pragma once
// Names the program shows and addresses it opens, set in one place.

constexpr char AppTitle[] = "Pontis Manager";
constexpr char MainCaption[] = "Pontis Manager - Quillon Ltd";
constexpr char MakerUrl[] = "https://www.quillon.example/";
