#!/usr/bin/env bash
# Creates the service user, hands it the program folder and enables the headless service.
# Run as root after `cmake --install build` (default folder /opt/servidor-serial).
set -euo pipefail
dir=${1:-/opt/servidor-serial}
id servidor-serial >/dev/null 2>&1 ||
  useradd --system --home-dir "$dir" --no-create-home --shell /usr/sbin/nologin servidor-serial
usermod -a -G dialout servidor-serial
chown -R servidor-serial:servidor-serial "$dir"
install -m 0644 "$dir/servidor-serial.service" /etc/systemd/system/servidor-serial.service
systemctl daemon-reload
systemctl enable --now servidor-serial.service
