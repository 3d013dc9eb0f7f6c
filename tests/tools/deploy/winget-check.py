#!/usr/bin/python3
"""Checks the three winget manifests in a folder: each parses as YAML into
texts and numbers of the types winget's 1.10.0 format gives its fields, and
meets the constraints below of that format (required fields, enumerations,
patterns, lengths); the three agree on identifier and version. Prints each
problem and exits 1 when there is one.

    winget-check.py DIR ID
"""
import sys

import jsonschema
import yaml

ID = r'^[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}(\.[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}){1,7}$'
VERSION = r'^[^\\/:\*\?"<>\|\x01-\x1f]+$'
URL = r'^([Hh][Tt][Tt][Pp][Ss]?)://.+$'
LOCALE = r'^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$'
MANIFEST_VERSION = r'^(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])' \
                   r'(\.(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])){2}$'


def text(low, high, pattern=None):
    schema = {'type': 'string', 'minLength': low, 'maxLength': high}
    if pattern:
        schema['pattern'] = pattern
    return schema


RETURN_CODE = {'type': 'integer', 'minimum': -2147483648, 'maximum': 4294967295, 'not': {'enum': [0]}}
COMMON = {
    'PackageIdentifier': text(1, 128, ID),
    'PackageVersion': text(1, 128, VERSION),
    'ManifestVersion': {'type': 'string', 'pattern': MANIFEST_VERSION},
}


def manifest(kind, required, properties):
    properties = dict(COMMON, ManifestType={'const': kind}, **properties)
    return {'type': 'object', 'additionalProperties': False, 'properties': properties,
            'required': ['PackageIdentifier', 'PackageVersion', 'ManifestType', 'ManifestVersion'] + required}


SWITCH = text(1, 512)
SCHEMAS = {
    'version': manifest('version', ['DefaultLocale'], {'DefaultLocale': text(1, 20, LOCALE)}),
    'installer': manifest('installer', ['Installers'], {
        'InstallerType': {'enum': ['msix', 'msi', 'appx', 'exe', 'zip', 'inno', 'nullsoft', 'wix', 'burn', 'pwa',
                                   'portable', 'font']},
        'Scope': {'enum': ['user', 'machine']},
        'InstallModes': {'type': 'array', 'uniqueItems': True, 'maxItems': 3,
                         'items': {'enum': ['interactive', 'silent', 'silentWithProgress']}},
        'InstallerSwitches': {'type': 'object', 'additionalProperties': False, 'properties': {
            'Silent': SWITCH, 'SilentWithProgress': SWITCH, 'Interactive': SWITCH, 'InstallLocation': SWITCH,
            'Log': SWITCH, 'Upgrade': SWITCH, 'Custom': text(1, 2048), 'Repair': SWITCH}},
        'InstallerSuccessCodes': {'type': 'array', 'uniqueItems': True, 'maxItems': 16, 'items': RETURN_CODE},
        'ExpectedReturnCodes': {'type': 'array', 'uniqueItems': True, 'maxItems': 128, 'items': {
            'type': 'object', 'additionalProperties': False, 'required': ['InstallerReturnCode', 'ReturnResponse'],
            'properties': {'InstallerReturnCode': RETURN_CODE, 'ReturnResponse': {'enum': [
                'packageInUse', 'packageInUseByApplication', 'installInProgress', 'fileInUse', 'missingDependencies',
                'diskFull', 'insufficientMemory', 'invalidParameter', 'noNetwork', 'contactSupport',
                'rebootRequiredToFinish', 'rebootRequiredForInstall', 'rebootInitiated', 'cancelledByUser',
                'alreadyInstalled', 'downgrade', 'blockedByPolicy', 'systemNotSupported', 'custom']}}}},
        'UpgradeBehavior': {'enum': ['install', 'uninstallPrevious', 'deny']},
        'ElevationRequirement': {'enum': ['elevationRequired', 'elevationProhibited', 'elevatesSelf']},
        'ProductCode': text(1, 255),
        'AppsAndFeaturesEntries': {'type': 'array', 'maxItems': 128, 'items': {
            'type': 'object', 'additionalProperties': False, 'minProperties': 1, 'properties': {
                'DisplayName': text(1, 256), 'Publisher': text(1, 256), 'DisplayVersion': text(1, 128),
                'ProductCode': text(1, 255), 'UpgradeCode': text(1, 255)}}},
        'Installers': {'type': 'array', 'minItems': 1, 'maxItems': 1024, 'items': {
            'type': 'object', 'additionalProperties': False,
            'required': ['Architecture', 'InstallerUrl', 'InstallerSha256'], 'properties': {
                'Architecture': {'enum': ['x86', 'x64', 'arm', 'arm64', 'neutral']},
                'InstallerUrl': text(0, 2048, URL),
                'InstallerSha256': {'type': 'string', 'pattern': '^[A-Fa-f0-9]{64}$'}}}},
    }),
    'defaultLocale': manifest('defaultLocale', ['PackageLocale', 'Publisher', 'PackageName', 'License',
                                                'ShortDescription'], {
        'PackageLocale': text(1, 20, LOCALE),
        'Publisher': text(2, 256), 'PackageName': text(2, 256), 'PackageUrl': text(0, 2048, URL),
        'License': text(3, 512), 'Copyright': text(3, 512), 'ShortDescription': text(3, 256)}),
}


def main(folder, identifier):
    problems = []
    files = {'version': f'{identifier}.yaml', 'installer': f'{identifier}.installer.yaml',
             'defaultLocale': f'{identifier}.locale.en-US.yaml'}
    loaded = {}
    for kind, name in files.items():
        with open(f'{folder}/{name}', encoding='utf-8') as f:
            document = yaml.safe_load(f)
        loaded[kind] = document
        validator = jsonschema.Draft7Validator(SCHEMAS[kind])
        problems += [f'{name}: {"/".join(map(str, e.path))}: {e.message}' for e in validator.iter_errors(document)]
    if not problems:
        for field in ('PackageIdentifier', 'PackageVersion', 'ManifestVersion'):
            if len({loaded[kind][field] for kind in files}) != 1:
                problems.append(f'the manifests differ in {field}')
        if loaded['version']['ManifestVersion'] != '1.10.0':
            problems.append('ManifestVersion is not 1.10.0')
        if loaded['version']['DefaultLocale'] != loaded['defaultLocale']['PackageLocale']:
            problems.append('DefaultLocale is not the default-locale manifest\'s PackageLocale')
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:]))
