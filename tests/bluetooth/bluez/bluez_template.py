# -*- coding: utf-8 -*-
'''bluetoothd, as far as the Linux Bluetooth backend uses it, for python3-dbusmock.

Loaded with `python3 -m dbusmock --system --template <this file> -p <scenario JSON>`:
  {"adapters": [{"name": "hci0", "powered": true}],        default: one powered hci0
   "devices": [{"address": "00:11:22:33:44:AA", "adapter": "hci0", "name": "Korvanta", "class": 7936,
                "paired": false, "trusted": false, "pin": "73914", "passkey": 0, "found_ms": -1,
                "connect_error": "", "silent": false}]}
found_ms >= 0: the device appears that long after StartDiscovery instead of being known at once;
passkey: it pairs by RequestPasskey instead of RequestPinCode; silent: Pair never answers.
Replies follow bluetoothd: StartDiscovery on an unpowered adapter NotReady, Pair of a paired device
AlreadyExists, a wrong agent answer AuthenticationFailed, an agent's Rejected AuthenticationRejected,
RemoveDevice of an unknown path DoesNotExist, ConnectProfile without a registered profile Failed. The
socket given to NewConnection first carries "KVMOCK <address>\\n". org.bluez.Mock.CallLog lists calls.
'''

import socket

import dbus
from gi.repository import GLib

from dbusmock import mockobject

BUS_NAME = 'org.bluez'
MAIN_OBJ = '/'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

ADAPTER = 'org.bluez.Adapter1'
DEVICE = 'org.bluez.Device1'
AGENTS = 'org.bluez.AgentManager1'
PROFILES = 'org.bluez.ProfileManager1'
CALLS = []
STATE = {'agents': {}, 'profiles': {}}


def error(name, message):
    return dbus.exceptions.DBusException(message, name='org.bluez.Error.' + name)


def log(*words):
    CALLS.append(' '.join(str(w) for w in words))


def method(obj, interface, in_sig, out_sig, **keywords):
    def install(fn):
        wrapped = dbus.service.method(interface, in_signature=in_sig, out_signature=out_sig, **keywords)(fn)
        obj.methods.setdefault(interface, {})[fn.__name__] = (in_sig, out_sig, '', wrapped)
    return install


def add_adapter(main, spec):
    name = spec['name']
    path = '/org/bluez/' + name
    main.AddObject(path, ADAPTER, {
        'Address': dbus.String('AA:BB:CC:DD:EE:%02X' % (int(name[3:]) + 1), variant_level=1),
        'Name': dbus.String('Desk ' + name, variant_level=1),
        'Alias': dbus.String('Desk ' + name, variant_level=1),
        'Class': dbus.UInt32(0x10010c, variant_level=1),
        'Powered': dbus.Boolean(spec.get('powered', True), variant_level=1),
        'Roles': dbus.Array(['central'], signature='s', variant_level=1)}, [])
    adapter = mockobject.objects[path]
    adapter.session = 0  # a device found later appears only in the discovery session that was waiting for it

    @method(adapter, ADAPTER, 'a{sv}', '')
    def SetDiscoveryFilter(_self, options):
        log('SetDiscoveryFilter', name, options.get('Transport', ''))

    @method(adapter, ADAPTER, '', '')
    def StartDiscovery(_self):
        log('StartDiscovery', name)
        if not adapter.props[ADAPTER]['Powered']:
            raise error('NotReady', 'Resource Not Ready')
        adapter.session += 1
        for device in STATE['found'].get(name, []):
            GLib.timeout_add(device['found_ms'], add_found, adapter, device, adapter.session)

    @method(adapter, ADAPTER, '', '')
    def StopDiscovery(_self):
        log('StopDiscovery', name)
        adapter.session += 1

    @method(adapter, ADAPTER, 'o', '')
    def RemoveDevice(_self, device_path):
        log('RemoveDevice', device_path)
        if not str(device_path).startswith(path + '/') or device_path not in mockobject.objects:
            raise error('DoesNotExist', 'Does Not Exist')
        adapter.RemoveObject(device_path)


def device_path(adapter, address):
    return adapter.path + '/dev_' + address.replace(':', '_')


def add_found(adapter, spec, session):
    if session == adapter.session and device_path(adapter, spec['address']) not in mockobject.objects:
        add_device(adapter, spec)
    return GLib.SOURCE_REMOVE


def add_device(adapter, spec):
    address = spec['address']
    path = device_path(adapter, address)
    props = {'Address': dbus.String(address, variant_level=1),
             'AddressType': dbus.String('public', variant_level=1),
             'Alias': dbus.String(spec.get('name') or address.replace(':', '-'), variant_level=1),
             'Paired': dbus.Boolean(spec.get('paired', False), variant_level=1),
             'Bonded': dbus.Boolean(spec.get('paired', False), variant_level=1),
             'Trusted': dbus.Boolean(spec.get('trusted', False), variant_level=1),
             'Connected': dbus.Boolean(False, variant_level=1),
             'Adapter': dbus.ObjectPath(adapter.path, variant_level=1)}
    if spec.get('name', 'Korvanta'):
        props['Name'] = dbus.String(spec.get('name', 'Korvanta'), variant_level=1)
    if spec.get('class', 0x1F00):
        props['Class'] = dbus.UInt32(spec.get('class', 0x1F00), variant_level=1)
    adapter.AddObject(path, DEVICE, props, [])
    device = mockobject.objects[path]
    device.sockets = []

    @method(device, DEVICE, '', '', sender_keyword='sender', async_callbacks=('ok', 'err'))
    def Pair(_self, sender=None, ok=None, err=None):
        log('Pair', address)
        if spec.get('silent'):
            return
        if device.props[DEVICE]['Paired']:
            return err(error('AlreadyExists', 'Already Exists'))
        passkey = spec.get('passkey', 0)
        call, expected = ('RequestPasskey', passkey) if passkey else ('RequestPinCode', spec.get('pin', '73914'))
        try:
            answer = device.connection.call_blocking(sender, STATE['agents'][sender], 'org.bluez.Agent1', call,
                                                     'o', [dbus.ObjectPath(path)], timeout=5)
        except dbus.exceptions.DBusException as refused:
            rejected = refused.get_dbus_name() == 'org.bluez.Error.Rejected'
            return err(error('AuthenticationRejected' if rejected else 'AuthenticationFailed', 'Refused'))
        if answer != expected:
            return err(error('AuthenticationFailed', 'Authentication Failed'))
        device.UpdateProperties(DEVICE, {'Paired': dbus.Boolean(True), 'Bonded': dbus.Boolean(True)})
        return ok()

    @method(device, DEVICE, 's', '')
    def ConnectProfile(_self, uuid):
        log('ConnectProfile', address, uuid)
        if spec.get('connect_error'):
            raise error('Failed', spec['connect_error'])
        owner = STATE['profiles'].get(str(uuid).lower())
        if owner is None:
            raise error('Failed', 'br-connection-profile-unavailable')
        mine, theirs = socket.socketpair()
        mine.sendall(f'KVMOCK {address}\n'.encode('ascii'))
        device.sockets.append(mine)
        device.connection.call_blocking(owner[0], owner[1], 'org.bluez.Profile1', 'NewConnection', 'oha{sv}',
                                        [dbus.ObjectPath(path), dbus.types.UnixFd(theirs), {}], timeout=5)
        theirs.close()

    @method(device, dbus.PROPERTIES_IFACE, 'ssv', '')
    def Set(_self, interface, name, value):
        log('Set', name, address, bool(value))
        device.UpdateProperties(interface, {name: value})


def load(mock, parameters):
    STATE['found'] = {}
    mock.AddObject('/org/bluez', AGENTS, {}, [])
    manager = mockobject.objects['/org/bluez']

    @method(manager, AGENTS, 'os', '', sender_keyword='sender')
    def RegisterAgent(_self, path, capability, sender=None):
        log('RegisterAgent', path, capability)
        STATE['agents'][sender] = path

    @method(manager, AGENTS, 'o', '', sender_keyword='sender')
    def UnregisterAgent(_self, path, sender=None):
        log('UnregisterAgent', path)
        if STATE['agents'].pop(sender, None) != path:
            raise error('DoesNotExist', 'Does Not Exist')

    @method(manager, PROFILES, 'osa{sv}', '', sender_keyword='sender')
    def RegisterProfile(_self, path, uuid, options, sender=None):
        log('RegisterProfile', path, uuid, 'Role=' + options.get('Role', ''))
        STATE['profiles'][str(uuid).lower()] = (sender, path)

    @method(manager, PROFILES, 'o', '')
    def UnregisterProfile(_self, path):
        log('UnregisterProfile', path)
        for uuid in [u for u, owner in STATE['profiles'].items() if owner[1] == path]:
            del STATE['profiles'][uuid]

    for spec in parameters.get('adapters', [{'name': 'hci0'}]):
        add_adapter(mock, spec)
    for spec in parameters.get('devices', []):
        adapter = mockobject.objects['/org/bluez/' + spec.get('adapter', 'hci0')]
        if spec.get('found_ms', -1) >= 0:
            STATE['found'].setdefault(spec.get('adapter', 'hci0'), []).append(spec)
        else:
            add_device(adapter, spec)


@dbus.service.method('org.bluez.Mock', in_signature='', out_signature='as')
def CallLog(_mock):
    return dbus.Array(CALLS, signature='s')
