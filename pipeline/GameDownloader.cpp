#include "pipeline/GameDownloader.h"

// Placeholder until the pipeline lands.
GameDownloader::GameDownloader(QObject *parent) : QObject(parent) {}

GameDownloader::~GameDownloader() = default;

void GameDownloader::startDownload() {}
