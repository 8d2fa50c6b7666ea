#pragma once
// Where the single-image view draws its picture: fitted and centred, at the
// zoom, or zoomed and panned under the pointer. Everything is in device
// pixels of the paint box; the caller converts the fixed lengths (the
// 25-point inner border, the 8-point margin) at the screen's resolution.

#include <cstdint>

#include "baselib/geometry.h"

namespace brek::Single_view {

// Bounds of the zoom: a stretched picture stays far from any size that
// could overflow, and a zoomed-out one keeps a few pixels.
inline constexpr double MIN_SCALE = 0.01;
inline constexpr double MAX_SCALE = 100.0;
// The longest side a stretched picture may get, whatever the zoom.
inline constexpr double MAX_SIDE = 16777216.0;

// The zoom within the bounds; NaN gives 1.
double clamp_scale(double scale);

struct Input {
  double box_w = 0;  // W
  double box_h = 0;  // H
  double pic_w = 0;  // w, after orientation
  double pic_h = 0;  // h
  double scale = 1;  // s
  point pointer;     // P, relative to the paint box
  bool ctrl = false;
  double inner = 0;   // width of the border around the inner area
  double margin = 0;  // m
};

struct Placement {
  bool fitted = true;
  double factor = 0;  // k
  rect r;             // where the picture is stretched to
};

// Whether the pointer lies in the inner area (edges inside).
bool pointer_inside(double box_w, double box_h, double inner, const point& p);

// The placement rules. A picture without area gives an empty rectangle.
Placement place(const Input& in);

// One axis of a panned picture of extent d in a window of extent w with
// the pointer at p: centred when it fits, else moved linearly from showing
// its start (pointer 5m from the start) to showing its end (pointer 5m
// from the end).
double pan(double w, double d, double p, double m);

// The form's wheel amount of one notch of a wheel (120 units of the
// platform); a touchpad reports a notch in many smaller turns.
inline constexpr double WHEEL_NOTCH = 0.25;
// The most steps one wheel event takes.
inline constexpr int64_t MAX_NOTCHES = 10;

// Adds a wheel amount to the part of a notch not yet taken (`rest`) and
// gives the whole notches reached, negative towards the user; the rest
// keeps what is left. A turn the other way starts a new notch.
int64_t take_notches(double& rest, double amount);

}  // namespace brek::Single_view
